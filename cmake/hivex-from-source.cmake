# SPDX-License-Identifier: GPL-2.0-or-later
# libhivex built for Windows from its source tarball, which is its
# repository's tree: its C sources compiled by cmake/hivex-mingw (the
# configuration its autotools build would make, and what mingw-w64 lacks)
# with the header of the same version, which the tree lacks (it is
# generated). Built with this build's compilers, flags and toolchain, once
# per tarball, header, toolchain and flags, into the cache of
# cmake/cached-build.cmake.
#
# corvane_hivex_from_source(TARBALL HEADER CACHE_ROOT) defines the imported
# library corvane::hivex.

include(${CMAKE_CURRENT_LIST_DIR}/cached-build.cmake)

set(corvane_hivex_port "${CMAKE_CURRENT_LIST_DIR}/hivex-mingw")
# What an entry must hold.
set(corvane_hivex_needed lib/libhivex.a include/hivex.h LICENSE)

# Builds libhivex from TARBALL and HEADER for the entry DIR, in a scratch
# directory beside it; OUT names where the entry is kept.
function(corvane_hivex_build tarball header dir out)
  corvane_cache_scratch("${dir}" scratch)
  file(MAKE_DIRECTORY "${scratch}/source")
  message(NOTICE "-- libhivex: building it for ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} from ${tarball} "
                 "into ${dir} (seconds; later builds reuse it)")
  corvane_cache_run(libhivex "extracting ${tarball}" "${scratch}/extract"
    ${CMAKE_COMMAND} -E chdir "${scratch}/source" ${CMAKE_COMMAND} -E tar xzf "${tarball}")
  file(GLOB top LIST_DIRECTORIES true "${scratch}/source/*")
  list(LENGTH top count)
  if(NOT count EQUAL 1 OR NOT EXISTS "${top}/lib/handle.c" OR NOT EXISTS "${top}/LICENSE")
    message(FATAL_ERROR "libhivex: ${tarball} does not hold libhivex's sources")
  endif()
  file(COPY "${header}" DESTINATION "${scratch}/include")
  get_filename_component(header_name "${header}" NAME)
  if(NOT header_name STREQUAL "hivex.h")
    file(RENAME "${scratch}/include/${header_name}" "${scratch}/include/hivex.h")
  endif()
  corvane_cache_run(libhivex "configuring" "${scratch}/configure"
    ${CMAKE_COMMAND} -S "${corvane_hivex_port}" -B "${scratch}/build" -G "${CMAKE_GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${corvane_toolchain_file}" -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_C_FLAGS=${CMAKE_C_FLAGS}" "-DHIVEX_SOURCE=${top}" "-DHIVEX_INCLUDE=${scratch}/include")
  corvane_cache_run(libhivex "compiling" "${scratch}/compile" ${CMAKE_COMMAND} --build "${scratch}/build")

  set(entry "${scratch}/entry")
  file(COPY "${scratch}/build/libhivex.a" DESTINATION "${entry}/lib")
  file(COPY "${scratch}/include/hivex.h" DESTINATION "${entry}/include")
  file(COPY "${top}/LICENSE" DESTINATION "${entry}")
  corvane_cache_store(libhivex "${entry}" "${dir}" kept ${corvane_hivex_needed})
  execute_process(COMMAND ${CMAKE_COMMAND} -E rm -rf "${scratch}" OUTPUT_QUIET ERROR_QUIET)
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()

function(corvane_hivex_from_source tarball header cache_root)
  if(NOT CMAKE_TOOLCHAIN_FILE)
    message(FATAL_ERROR "libhivex: built from its source only in a cross build with a toolchain file")
  endif()
  corvane_cache_tarball_hash(libhivex "${tarball}" tarball_hash)
  # What else the build depends on: the header and the port's files.
  file(SHA256 "${header}" options)
  file(GLOB port_files "${corvane_hivex_port}/*")
  list(SORT port_files)
  foreach(file IN LISTS port_files)
    file(SHA256 "${file}" hash)
    list(APPEND options "${hash}")
  endforeach()
  # A change to any of them configures again, and so builds a new entry.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${port_files} "${tarball}" "${header}")
  corvane_cache_key("${tarball_hash}" "${options}" key)
  get_filename_component(name "${tarball}" NAME)
  string(REGEX REPLACE "\\.tar\\.gz$|\\.tgz$" "" name "${name}")
  corvane_cache_root(libhivex "${cache_root}" cache_root)
  set(dir "${cache_root}/${name}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}-${key}")

  file(LOCK "${dir}.lock" GUARD FUNCTION TIMEOUT 600 RESULT_VARIABLE locked)
  corvane_cache_entry_valid("${dir}" valid ${corvane_hivex_needed})
  if(valid)
    message(STATUS "libhivex: using ${dir}")
  else()
    if(EXISTS "${dir}")
      message(NOTICE "-- libhivex: ${dir} is incomplete, damaged or out of date; building it again")
    endif()
    corvane_hivex_build("${tarball}" "${header}" "${dir}" dir)
  endif()

  add_library(corvane::hivex STATIC IMPORTED GLOBAL)
  set_target_properties(corvane::hivex PROPERTIES
    IMPORTED_LOCATION "${dir}/lib/libhivex.a"
    INTERFACE_INCLUDE_DIRECTORIES "${dir}/include"
    INTERFACE_LINK_LIBRARIES "-pthread")
  set_property(GLOBAL PROPERTY corvane_hivex_license "${dir}/LICENSE")
  set_property(GLOBAL PROPERTY corvane_hivex_entry "${dir}")  # for the cache's test
endfunction()

# cmake -DENTRY=DIR -P hivex-from-source.cmake: prints whether DIR is a valid entry.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND DEFINED ENTRY)
  corvane_cache_entry_valid("${ENTRY}" valid ${corvane_hivex_needed})
  if(valid)
    message("valid")
  else()
    message("invalid")
  endif()
endif()
