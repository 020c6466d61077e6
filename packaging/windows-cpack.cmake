# SPDX-License-Identifier: GPL-2.0-or-later
# Read by CPack before each Windows package. Stripping stamps a program's
# header with the time it runs (or SOURCE_DATE_EPOCH), once for the zip and
# once for the installer: stamped with the time the programs were built
# instead, both carry the same programs, byte for byte.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  file(TIMESTAMP ${CPACK_CORVANE_BUILT_PROGRAM} built "%s" UTC)
  set(ENV{SOURCE_DATE_EPOCH} ${built})
endif()
