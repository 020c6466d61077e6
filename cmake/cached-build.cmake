# SPDX-License-Identifier: GPL-2.0-or-later
# The cache of libraries built from their source tarballs (FLTK, and
# libhivex for Windows): one entry per tarball, system, toolchain, flags and
# options, in a directory outside the build tree that every later build (and
# every clone) reuses. An entry holds the library, its headers and licence,
# and a manifest of their hashes written last. It is used only when every
# file still has its hash, the files the library needs are all listed and
# every system library it names by path is still there; anything else is
# built afresh. A cache that cannot be written, or will not take an entry,
# is replaced by one in the build tree: a bad cache never fails a build.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.18)  # run as a script: the project's policies
endif()

# True in OUT when DIR holds a complete entry with the files NEEDED... (paths
# in it): its manifest lists them; every file listed still has its recorded
# hash; every library named by path in its link-libraries.txt still exists.
function(corvane_cache_entry_valid dir out)
  set(${out} FALSE PARENT_SCOPE)
  if(NOT EXISTS "${dir}/manifest.sha256" OR IS_DIRECTORY "${dir}/manifest.sha256")
    return()
  endif()
  file(STRINGS "${dir}/manifest.sha256" lines)
  set(listed "")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
      return()
    endif()
    set(expected ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    if(NOT EXISTS "${dir}/${name}" OR IS_DIRECTORY "${dir}/${name}")
      return()
    endif()
    file(SHA256 "${dir}/${name}" actual)
    if(NOT actual STREQUAL expected)
      return()
    endif()
    list(APPEND listed "${name}")
  endforeach()
  foreach(needed IN LISTS ARGN)
    if(NOT needed IN_LIST listed)
      return()
    endif()
  endforeach()
  if("link-libraries.txt" IN_LIST listed)
    file(STRINGS "${dir}/link-libraries.txt" libraries)
    foreach(library IN LISTS libraries)
      if(IS_ABSOLUTE "${library}" AND NOT EXISTS "${library}")
        return()  # the system changed since: build against what it has now
      endif()
    endforeach()
  endif()
  set(${out} TRUE PARENT_SCOPE)
endfunction()

# Runs a step of a build (COMMAND...), its output in LOG.out and LOG.err;
# a failure ends the configuration with the end of what it said.
function(corvane_cache_run library step log)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_FILE "${log}.out" ERROR_FILE "${log}.err")
  if(NOT status EQUAL 0)
    file(READ "${log}.err" errors)
    file(READ "${log}.out" output)
    string(LENGTH "${output}" length)
    if(length GREATER 4000)
      math(EXPR start "${length} - 4000")
      string(SUBSTRING "${output}" ${start} -1 output)
    endif()
    message(FATAL_ERROR "${library}: ${step} failed (${status}):\n${output}\n${errors}")
  endif()
endfunction()

# The tarball's SHA-256 in OUT; it must be the one its checksum file names.
function(corvane_cache_tarball_hash library tarball out)
  file(SHA256 "${tarball}" hash)
  if(EXISTS "${tarball}.sha256")
    file(STRINGS "${tarball}.sha256" expected LIMIT_COUNT 1)
    string(REGEX MATCH "^[0-9a-fA-F]+" expected "${expected}")
    string(TOLOWER "${expected}" expected)
    if(NOT expected STREQUAL hash)
      message(FATAL_ERROR "${library}: ${tarball} does not match ${tarball}.sha256 "
                          "(${hash} instead of ${expected}): replace it with an intact copy")
    endif()
  endif()
  set(${out} "${hash}" PARENT_SCOPE)
endfunction()

# The key of an entry in OUT (16 hex digits): the tarball's hash, the system,
# OPTIONS (what else the build depends on), the generator, the flags, the
# toolchain (its files and compilers). corvane_toolchain_file is set in the
# caller to the toolchain file as CMake finds it.
function(corvane_cache_key tarball_hash options out)
  set(identity "${tarball_hash}\n${CMAKE_SYSTEM_NAME}\n${CMAKE_SYSTEM_PROCESSOR}\n${options}\n"
               "${CMAKE_GENERATOR}\n${CMAKE_C_FLAGS}\n${CMAKE_CXX_FLAGS}\n")
  # Given relative to the build tree or the source tree: the same whichever
  # directory CMake runs in (the build runs it again from the build tree when
  # a CMakeLists.txt changed).
  set(toolchain_file "${CMAKE_TOOLCHAIN_FILE}")
  if(toolchain_file AND NOT IS_ABSOLUTE "${toolchain_file}")
    if(EXISTS "${CMAKE_BINARY_DIR}/${toolchain_file}")
      set(toolchain_file "${CMAKE_BINARY_DIR}/${toolchain_file}")
    else()
      set(toolchain_file "${CMAKE_SOURCE_DIR}/${toolchain_file}")
    endif()
  endif()
  set(corvane_toolchain_file "${toolchain_file}" PARENT_SCOPE)
  if(toolchain_file)
    get_filename_component(toolchain_dir "${toolchain_file}" DIRECTORY)
    foreach(file IN ITEMS "${toolchain_file}" "${toolchain_dir}/mingw.cmake")
      if(EXISTS "${file}")
        file(SHA256 "${file}" hash)
        string(APPEND identity "${hash}\n")
      endif()
    endforeach()
  endif()
  foreach(compiler IN ITEMS "${CMAKE_C_COMPILER}" "${CMAKE_CXX_COMPILER}")
    execute_process(COMMAND "${compiler}" --version OUTPUT_VARIABLE version ERROR_QUIET)
    string(APPEND identity "${compiler}\n${version}")
  endforeach()
  string(SHA256 key "${identity}")
  string(SUBSTRING "${key}" 0 16 key)
  set(${out} "${key}" PARENT_SCOPE)
endfunction()

# The cache's root in OUT: CACHE_ROOT, or one in the build tree when that
# cannot be written to.
function(corvane_cache_root library cache_root out)
  execute_process(COMMAND ${CMAKE_COMMAND} -E make_directory "${cache_root}" RESULT_VARIABLE failed
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} -E touch "${cache_root}/.writable" RESULT_VARIABLE failed
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(failed)
    string(TOLOWER "${library}" name)
    message(NOTICE "-- ${library}: cannot write to ${cache_root}; keeping it in the build tree instead")
    set(cache_root "${CMAKE_BINARY_DIR}/${name}-cache")
    file(MAKE_DIRECTORY "${cache_root}")
  endif()
  set(${out} "${cache_root}" PARENT_SCOPE)
endfunction()

# A scratch directory for building DIR's entry in OUT, beside DIR; what an
# interrupted build left there goes first (nobody else builds this entry
# now: the caller holds its lock).
function(corvane_cache_scratch dir out)
  file(GLOB leftovers LIST_DIRECTORIES true "${dir}.partial-*")
  if(leftovers)
    execute_process(COMMAND ${CMAKE_COMMAND} -E rm -rf ${leftovers} OUTPUT_QUIET ERROR_QUIET)
  endif()
  string(RANDOM LENGTH 8 suffix)
  set(scratch "${dir}.partial-${suffix}")
  file(MAKE_DIRECTORY "${scratch}")
  set(${out} "${scratch}" PARENT_SCOPE)
endfunction()

# Stores ENTRY, a finished entry, as DIR: its manifest written last, then one
# rename. Where DIR cannot be replaced the entry is kept in the build tree
# instead; OUT names where it is. NEEDED... as for corvane_cache_entry_valid.
function(corvane_cache_store library entry dir out)
  file(GLOB_RECURSE files RELATIVE "${entry}" "${entry}/*")
  list(SORT files)
  set(manifest "")
  foreach(name IN LISTS files)
    file(SHA256 "${entry}/${name}" hash)
    string(APPEND manifest "${hash}  ${name}\n")
  endforeach()
  # The manifest comes last: an entry without one is unfinished.
  file(WRITE "${entry}/manifest.sha256" "${manifest}")

  execute_process(COMMAND ${CMAKE_COMMAND} -E rm -rf "${dir}" OUTPUT_QUIET ERROR_QUIET)
  file(RENAME "${entry}" "${dir}" RESULT renamed)
  corvane_cache_entry_valid("${dir}" valid ${ARGN})
  if(renamed STREQUAL "0" AND valid)
    set(${out} "${dir}" PARENT_SCOPE)
    return()
  endif()
  string(TOLOWER "${library}" name)
  get_filename_component(entry_name "${dir}" NAME)
  set(local "${CMAKE_BINARY_DIR}/${name}-cache/${entry_name}")
  message(NOTICE "-- ${library}: the cache did not take ${dir} (${renamed}); keeping it in ${local}")
  file(REMOVE_RECURSE "${local}")
  get_filename_component(local_root "${local}" DIRECTORY)
  file(MAKE_DIRECTORY "${local_root}")
  if(renamed STREQUAL "0")
    file(COPY "${dir}/" DESTINATION "${local}")
  else()
    file(RENAME "${entry}" "${local}")
  endif()
  corvane_cache_entry_valid("${local}" valid ${ARGN})
  if(NOT valid)
    message(FATAL_ERROR "${library}: could not keep the build in ${local}")
  endif()
  set(${out} "${local}" PARENT_SCOPE)
endfunction()
