# SPDX-License-Identifier: GPL-2.0-or-later
# libhivex, which reads registry hives: the interface target corvane_hivex,
# and CORVANE_HIVES, true when this build reads hives (and then defined to 1
# in the code that links corvane_hivex).
#
# Linux: the system's (pkg-config; Debian's libhivex-dev). Windows: built
# from its source tarball, CORVANE_HIVEX_SOURCE, with its header of the same
# version, CORVANE_HIVEX_HEADER (by default the one the build machine's
# libhivex-dev installs, when it is that version), and kept in
# CORVANE_HIVEX_CACHE (cmake/hivex-from-source.cmake). Without either, the
# Windows programs are built without reading hives, and hives-skipped.txt in
# the build says why and how to provide them.
add_library(corvane_hivex INTERFACE)
set(CORVANE_HIVES FALSE)
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(HIVEX REQUIRED IMPORTED_TARGET hivex)
  target_link_libraries(corvane_hivex INTERFACE PkgConfig::HIVEX)
  target_compile_definitions(corvane_hivex INTERFACE CORVANE_HIVES=1)
  set(CORVANE_HIVES TRUE)
  return()
endif()

get_filename_component(default_source "${PROJECT_SOURCE_DIR}/../shared/third_party/hivex-1.3.23-git.tar.gz" ABSOLUTE)
set(CORVANE_HIVEX_SOURCE "${default_source}" CACHE FILEPATH "libhivex's source tarball, built for Windows")
set(CORVANE_HIVEX_HEADER "" CACHE FILEPATH
    "libhivex's header, hivex.h, of the tarball's version (empty: the build machine's, from its libhivex-dev)")
if(DEFINED ENV{XDG_CACHE_HOME})
  set(cache_home "$ENV{XDG_CACHE_HOME}")
else()
  set(cache_home "$ENV{HOME}/.cache")
endif()
set(CORVANE_HIVEX_CACHE "${cache_home}/corvane" CACHE PATH
    "Where libhivex built from CORVANE_HIVEX_SOURCE is kept for later builds")
set(skipped_note "${CMAKE_BINARY_DIR}/hives-skipped.txt")
file(REMOVE "${skipped_note}")

# The header of the tarball's version (its name says it, hivex-1.3.23...): the
# build machine's, as pkg-config finds libhivex-dev, when that is the same.
set(header "${CORVANE_HIVEX_HEADER}")
set(problem "")
get_filename_component(tarball_name "${CORVANE_HIVEX_SOURCE}" NAME)
string(REGEX MATCH "^hivex-([0-9]+\\.[0-9]+\\.[0-9]+)" version "${tarball_name}")
set(version "${CMAKE_MATCH_1}")
if(NOT EXISTS "${CORVANE_HIVEX_SOURCE}")
  set(problem "its source tarball, ${CORVANE_HIVEX_SOURCE}, is missing")
elseif(NOT header)
  find_program(CORVANE_PKG_CONFIG pkg-config)
  if(CORVANE_PKG_CONFIG)
    execute_process(COMMAND ${CORVANE_PKG_CONFIG} --modversion hivex OUTPUT_VARIABLE installed
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${CORVANE_PKG_CONFIG} --variable=includedir hivex OUTPUT_VARIABLE include_dir
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(version AND installed STREQUAL version AND EXISTS "${include_dir}/hivex.h")
    set(header "${include_dir}/hivex.h")
  else()
    set(problem "its header, hivex.h, is generated and not in the tarball: this machine's libhivex-dev \
(${installed}) is not version ${version}")
  endif()
elseif(NOT EXISTS "${header}")
  set(problem "its header, ${header}, is missing")
endif()

if(problem)
  set(note "Registry hives are not read by this build's programs: libhivex cannot be built for Windows, as \
${problem}. Give its source tarball with -DCORVANE_HIVEX_SOURCE=/path/to/hivex-1.3.23-git.tar.gz (by default \
../shared/third_party/ beside the project) and its header with -DCORVANE_HIVEX_HEADER=/path/to/hivex.h (by default \
Debian's libhivex-dev of the same version).")
  message(STATUS "${note}")
  file(WRITE "${skipped_note}" "${note}\n")
  return()
endif()
include(${CMAKE_CURRENT_LIST_DIR}/hivex-from-source.cmake)
corvane_hivex_from_source("${CORVANE_HIVEX_SOURCE}" "${header}" "${CORVANE_HIVEX_CACHE}")
target_link_libraries(corvane_hivex INTERFACE corvane::hivex)
target_compile_definitions(corvane_hivex INTERFACE CORVANE_HIVES=1)
set(CORVANE_HIVES TRUE)
