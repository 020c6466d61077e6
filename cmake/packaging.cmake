# SPDX-License-Identifier: GPL-2.0-or-later
# CPack: what `cpack` makes from the install rules. On Linux, the Debian
# package corvane_VERSION-1_ARCH.deb (scripts/package.sh builds it for /usr);
# on Windows, the portable zip that packaging/windows.cmake fills.
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "Corvane developers")
set(CPACK_PACKAGE_CONTACT "Corvane developers <${CORVANE_MAINTAINER_EMAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "shows what the PCI devices of this computer are")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvane lists the PCI devices of the machine, looks each vendor and device
identifier up in its hardware database and shows every device in one window
as an expandable tree: what the system records about it, and what the
database says. corvane-list prints the same tree as text.

The database is made from the system's pci.ids when the package is installed
and again whenever dpkg updates pci.ids.")
set(CPACK_STRIP_FILES ON)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries' packages come from the binaries (dpkg-shlibdeps), but for
  # libkmod's, which the programs load when first needed; pci.ids is read by
  # corvane-update and names the devices through libpci.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "pci.ids, libkmod2")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CORVANE_DEBIAN_CONTROL_FILES})
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

include(CPack)
