# SPDX-License-Identifier: GPL-2.0-or-later
# The Windows programs as a portable zip, corvane-VERSION-win64.zip or
# -win32.zip, and an installer of the same files beside it,
# corvane-VERSION-win64-setup.exe or -win32-setup.exe:
# `cmake --build BUILD_DIR --target package`. They hold the programs, a
# devices.lst made by the updater from the build machine's pci.ids,
# README.txt and the licence texts of what is linked in (FLTK, zlib, libhivex,
# whose LGPL asks that the README say how to relink), the texts with CR LF
# line ends for Windows' own editors.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(bits 64)
else()
  set(bits 32)
endif()
set(files ${CMAKE_BINARY_DIR}/package)
set(corvane_packaged_database ${files}/devices.lst)  # the Windows tests use it too

if(EXISTS /usr/share/misc/pci.ids OR NOT EXISTS /usr/share/misc/pci.ids.gz)
  set(default_list /usr/share/misc/pci.ids)
else()
  set(default_list /usr/share/misc/pci.ids.gz)
endif()
set(CORVANE_PCI_IDS ${default_list} CACHE FILEPATH
    "The PCI ID Repository's list the packaged devices.lst is made from")

# The updater that makes devices.lst runs on the build machine: in a cross
# build that is a native build of it beside this one.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(host_dir ${CMAKE_BINARY_DIR}/host-updater)
  ExternalProject_Add(host_updater
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${host_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_WINDOW=OFF
    # A make of its own: the outer one's job server does not reach it.
    BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                  ${CMAKE_COMMAND} --build ${host_dir} --target corvane-update
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${host_dir}/corvane-update
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON
    INSTALL_COMMAND "")
  set(updater ${host_dir}/corvane-update)
  set(updater_target host_updater)
else()
  set(updater $<TARGET_FILE:corvane-update>)
  set(updater_target corvane-update)
endif()
if(EXISTS ${CORVANE_PCI_IDS})
  add_custom_command(OUTPUT ${files}/devices.lst
    COMMAND ${updater} --input ${CORVANE_PCI_IDS} --output ${files}/devices.lst
    DEPENDS ${updater_target} ${CORVANE_PCI_IDS}
    COMMENT "Making the packaged devices.lst from ${CORVANE_PCI_IDS}")
  add_custom_target(package_database ALL DEPENDS ${files}/devices.lst)
  install(FILES ${files}/devices.lst DESTINATION .)
else()
  message(WARNING "No ${CORVANE_PCI_IDS}: the zip will have no devices.lst "
                  "(set CORVANE_PCI_IDS to a pci.ids)")
endif()

# Writes TEXT to DESTINATION with CR LF line ends.
function(corvane_windows_text text destination)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${destination} "${text}")
  install(FILES ${destination} DESTINATION .)
endfunction()

# README.txt's words on hives and libhivex's licence, as this build has them.
if(CORVANE_HIVES)
  set(readme_hives "The registry hive of a Windows disk is read as it is: a Windows that does
not start, its disk in a USB dock as drive E:, shows its devices with

    corvane.exe E:\\Windows\\System32\\config\\SYSTEM

without administrator rights and without loading anything into this
machine's registry (the window's Ctrl+O offers it as \"Registry hives\").
Dumps of Linux's lspci are read by Corvane on Linux only.")
  set(readme_hivex "

corvane.exe and corvane-list.exe include libhivex 1.3.23, which reads the
hives, under the GNU Lesser General Public License, version 2.1:
COPYING-hivex.txt. That licence lets you change libhivex and use your
changed version with these programs. Its source is libhivex's public
repository (https://github.com/libguestfs/hivex) at the tag v1.3.23.
Corvane's source, which these programs are built from, holds the few files
that build libhivex for Windows (cmake/hivex-mingw) and says in
docs/building.md how to build the programs with another libhivex source
(-DCORVANE_HIVEX_SOURCE=your-hivex.tar.gz): that links them with your
libhivex. For three years from this release, @CORVANE_MAINTAINER_EMAIL@
sends the source of both on request, for no more than the cost of sending
it.")
else()
  set(readme_hives "Dumps of Linux's lspci, and the registry hive of a Windows disk
(Windows\\System32\\config\\SYSTEM), are not read by this build.")
  set(readme_hivex "")
endif()
string(CONFIGURE "${readme_hivex}" readme_hivex @ONLY)

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/README.txt)
file(READ ${CMAKE_CURRENT_LIST_DIR}/README.txt text)
string(CONFIGURE "${text}" text @ONLY)
corvane_windows_text("${text}" ${files}/README.txt)

get_property(fltk_license GLOBAL PROPERTY corvane_fltk_license)
if(TARGET corvane AND fltk_license)
  file(READ ${fltk_license} text)
  corvane_windows_text("${text}" ${files}/COPYING-FLTK.txt)
elseif(TARGET corvane)
  message(WARNING "FLTK's licence text is not known here: the zip will not have COPYING-FLTK.txt")
endif()
get_property(hivex_license GLOBAL PROPERTY corvane_hivex_license)
if(hivex_license)
  file(READ ${hivex_license} text)
  corvane_windows_text("${text}" ${files}/COPYING-hivex.txt)
endif()
# Corvane's own licence, and that of the list devices.lst is made from:
# pci.ids' opening comment (who keeps it, under which licences it may be
# passed on), as the list itself says it.
file(READ ${PROJECT_SOURCE_DIR}/COPYING text)
corvane_windows_text("${text}" ${files}/COPYING)
if(EXISTS ${CORVANE_PCI_IDS})
  if(CORVANE_PCI_IDS MATCHES "\\.gz$")
    execute_process(COMMAND gzip -dc ${CORVANE_PCI_IDS} COMMAND head -c 4096 OUTPUT_VARIABLE head)
  else()
    file(READ ${CORVANE_PCI_IDS} head LIMIT 4096)
  endif()
  string(REGEX MATCH "^(#[^\n]*\n)+" notice "${head}")
  string(REGEX REPLACE "(^|\n)#\t?" "\\1" notice "${notice}")
  corvane_windows_text(
    "devices.lst is made from the PCI ID Repository's list, pci.ids, which says of itself:\n${notice}"
    ${files}/COPYING-pci.ids.txt)
endif()
# zlib's licence is the comment that opens zlib.h.
file(READ ${ZLIB_INCLUDE_DIR}/zlib.h text)
string(FIND "${text}" "*/" comment_end)
string(SUBSTRING "${text}" 0 ${comment_end} text)
string(REGEX REPLACE "^/\\* *" "" text "${text}")
corvane_windows_text("${text}" ${files}/COPYING-zlib.txt)

install(TARGETS corvane-list corvane-update RUNTIME DESTINATION .)
if(TARGET corvane)
  install(TARGETS corvane RUNTIME DESTINATION .)
endif()

# The rest of CPack's settings are cmake/packaging.cmake's.
set(CPACK_GENERATOR ZIP)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows-cpack.cmake)
get_target_property(list_dir corvane-list RUNTIME_OUTPUT_DIRECTORY)
set(CPACK_CORVANE_BUILT_PROGRAM ${list_dir}/corvane-list.exe)
# The installer: CPack stages the install once more and packaging/installer.cmake
# hands it to NSIS's makensis (Debian's nsis).
find_program(CORVANE_MAKENSIS makensis)
if(CORVANE_MAKENSIS)
  list(APPEND CPACK_GENERATOR External)
  set(CPACK_EXTERNAL_ENABLE_STAGING ON)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/installer.cmake)
  set(CPACK_CORVANE_MAKENSIS ${CORVANE_MAKENSIS})
  set(CPACK_CORVANE_INSTALLER_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/installer.nsi)
  set(CPACK_CORVANE_ICON ${PROJECT_SOURCE_DIR}/platform/corvane.ico)
  set(CPACK_CORVANE_BITS ${bits})
else()
  message(WARNING "No makensis (Debian's nsis): no installer beside the zip")
endif()
set(CPACK_PACKAGE_FILE_NAME corvane-${PROJECT_VERSION}-win${bits})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
