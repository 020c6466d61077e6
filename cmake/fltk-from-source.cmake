# SPDX-License-Identifier: GPL-2.0-or-later
# FLTK compiled from its source tarball, for the builds that find no FLTK 1.4
# installed: the Windows cross builds (no Debian package has FLTK for them)
# and Linux systems whose FLTK is older (Debian 12 has 1.3). It is compiled
# with this build's own compilers, flags and toolchain, once per tarball,
# system, toolchain and flags, into a cache outside the build tree that every
# later build (and every clone) reuses.
#
# corvane_fltk_from_source(TARBALL CACHE_ROOT) defines the imported library
# corvane::fltk. A cache entry is used only when every file in it still has
# the hash recorded when it was made and every system library it names is
# still there; anything else is built afresh.

if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.18)  # run as a script (see the end): the project's policies
endif()

# What FLTK is built with: the core library alone (no tests, examples, fluid,
# OpenGL, forms compatibility or documents); image libraries bundled.
set(corvane_fltk_options
  -DCMAKE_BUILD_TYPE=Release
  -DFLTK_BUILD_TEST=OFF
  -DFLTK_BUILD_EXAMPLES=OFF
  -DFLTK_BUILD_FLUID=OFF
  -DFLTK_BUILD_FLTK_OPTIONS=OFF
  -DFLTK_BUILD_FORMS=OFF
  -DFLTK_BUILD_GL=OFF
  -DFLTK_BUILD_SHARED_LIBS=OFF
  -DFLTK_BUILD_HTML_DOCS=OFF
  -DFLTK_BUILD_PDF_DOCS=OFF
  -DFLTK_USE_SYSTEM_LIBJPEG=OFF
  -DFLTK_USE_SYSTEM_LIBPNG=OFF
  -DFLTK_USE_SYSTEM_ZLIB=OFF)
if(NOT WIN32)
  # Linux: both back ends, Wayland first and X11 where there is no compositor;
  # window decorations on Wayland by the libdecor FLTK bundles, drawn with
  # cairo (no GTK), whatever the system has installed.
  list(APPEND corvane_fltk_options
    -DFLTK_BACKEND_WAYLAND=ON
    -DFLTK_BACKEND_X11=ON
    -DFLTK_USE_SYSTEM_LIBDECOR=OFF
    -DFLTK_USE_LIBDECOR_GTK=OFF
    -DFLTK_USE_DBUS=ON)
endif()

# True in OUT when DIR holds a complete entry: its manifest lists the library,
# the headers and the list of libraries to link with; every file listed still
# has its recorded hash, and every system library named by path still exists.
function(corvane_fltk_entry_valid dir out)
  set(${out} FALSE PARENT_SCOPE)
  if(NOT EXISTS "${dir}/manifest.sha256")
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
    if(NOT EXISTS "${dir}/${name}")
      return()
    endif()
    file(SHA256 "${dir}/${name}" actual)
    if(NOT actual STREQUAL expected)
      return()
    endif()
    list(APPEND listed "${name}")
  endforeach()
  foreach(needed IN ITEMS lib/libfltk.a include/FL/Fl.H include/FL/fl_config.h COPYING link-libraries.txt)
    if(NOT needed IN_LIST listed)
      return()
    endif()
  endforeach()
  file(STRINGS "${dir}/link-libraries.txt" libraries)
  foreach(library IN LISTS libraries)
    if(IS_ABSOLUTE "${library}" AND NOT EXISTS "${library}")
      return()  # the system changed since: build against what it has now
    endif()
  endforeach()
  set(${out} TRUE PARENT_SCOPE)
endfunction()

function(corvane_fltk_run step log)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_FILE "${log}.out" ERROR_FILE "${log}.err")
  if(NOT status EQUAL 0)
    file(READ "${log}.err" errors)
    file(READ "${log}.out" output)
    string(LENGTH "${output}" length)
    if(length GREATER 4000)
      math(EXPR start "${length} - 4000")
      string(SUBSTRING "${output}" ${start} -1 output)
    endif()
    message(FATAL_ERROR "FLTK: ${step} failed (${status}):\n${output}\n${errors}")
  endif()
endfunction()

# The libraries FLTK's own build says its static library needs, from the
# targets file it exports into its build tree: one a line.
function(corvane_fltk_link_libraries targets_file out)
  file(READ "${targets_file}" text)
  string(FIND "${text}" "set_target_properties(fltk::fltk PROPERTIES" start)
  if(start EQUAL -1)
    message(FATAL_ERROR "FLTK: ${targets_file} defines no fltk::fltk")
  endif()
  string(SUBSTRING "${text}" ${start} -1 text)
  string(FIND "${text}" ")" end)
  string(SUBSTRING "${text}" 0 ${end} text)
  set(libraries "")
  if(text MATCHES "INTERFACE_LINK_LIBRARIES \"([^\"]*)\"")
    set(libraries "${CMAKE_MATCH_1}")
  endif()
  string(REPLACE ";" "\n" libraries "${libraries}")
  set(${out} "${libraries}\n" PARENT_SCOPE)
endfunction()

# Builds FLTK from TARBALL into DIR: extracted, configured and compiled in a
# scratch directory beside DIR, which becomes DIR in one rename once complete.
function(corvane_fltk_build tarball dir)
  # What an interrupted build left behind; nobody else builds this entry now.
  file(GLOB leftovers LIST_DIRECTORIES true "${dir}.partial-*")
  if(leftovers)
    file(REMOVE_RECURSE ${leftovers})
  endif()
  string(RANDOM LENGTH 8 suffix)
  set(scratch "${dir}.partial-${suffix}")
  file(MAKE_DIRECTORY "${scratch}/source")
  include(ProcessorCount)
  ProcessorCount(jobs)
  if(jobs EQUAL 0)
    set(jobs 1)
  endif()
  message(NOTICE "-- FLTK: building it for ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} from ${tarball} "
                 "into ${dir} (a minute or a few; later builds reuse it)")
  corvane_fltk_run("extracting ${tarball}" "${scratch}/extract"
    ${CMAKE_COMMAND} -E chdir "${scratch}/source" ${CMAKE_COMMAND} -E tar xzf "${tarball}")
  file(GLOB top LIST_DIRECTORIES true "${scratch}/source/*")
  list(LENGTH top count)
  if(NOT count EQUAL 1 OR NOT EXISTS "${top}/FL/Fl.H")
    message(FATAL_ERROR "FLTK: ${tarball} does not hold FLTK's sources")
  endif()
  if(CMAKE_TOOLCHAIN_FILE)
    set(toolchain "-DCMAKE_TOOLCHAIN_FILE=${corvane_toolchain_file}")
  else()
    set(toolchain "-DCMAKE_C_COMPILER=${CMAKE_C_COMPILER}" "-DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}")
  endif()
  corvane_fltk_run("configuring" "${scratch}/configure"
    ${CMAKE_COMMAND} -S "${top}" -B "${scratch}/build" -G "${CMAKE_GENERATOR}" ${toolchain}
    "-DCMAKE_C_FLAGS=${CMAKE_C_FLAGS}" "-DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS}"
    ${corvane_fltk_options})
  if(NOT WIN32)
    # FLTK leaves Wayland out, silently, when its -dev packages are missing.
    file(STRINGS "${scratch}/build/FL/fl_config.h" wayland REGEX "^#define FLTK_USE_WAYLAND")
    if(NOT wayland)
      message(FATAL_ERROR "FLTK: its Wayland back end cannot be built here: install what "
        "scripts/install-deps.sh installs (libwayland-dev, wayland-protocols, libxkbcommon-dev, "
        "libpango1.0-dev, libcairo2-dev, libdbus-1-dev, the X11 -dev packages)")
    endif()
  endif()
  corvane_fltk_run("compiling" "${scratch}/compile"
    ${CMAKE_COMMAND} --build "${scratch}/build" --target fltk -j ${jobs})

  set(entry "${scratch}/entry")
  file(COPY "${top}/FL/" DESTINATION "${entry}/include/FL" FILES_MATCHING PATTERN "*.H" PATTERN "*.h")
  # The headers the configuration writes (fl_config.h, abi-version.h).
  file(COPY "${scratch}/build/FL/" DESTINATION "${entry}/include/FL" FILES_MATCHING PATTERN "*.h")
  file(COPY "${scratch}/build/lib/libfltk.a" DESTINATION "${entry}/lib")
  file(COPY "${top}/COPYING" DESTINATION "${entry}")
  corvane_fltk_link_libraries("${scratch}/build/FLTK-Targets.cmake" libraries)
  file(WRITE "${entry}/link-libraries.txt" "${libraries}")
  file(GLOB_RECURSE files RELATIVE "${entry}" "${entry}/*")
  list(SORT files)
  set(manifest "")
  foreach(name IN LISTS files)
    file(SHA256 "${entry}/${name}" hash)
    string(APPEND manifest "${hash}  ${name}\n")
  endforeach()
  # The manifest comes last: an entry without one is unfinished.
  file(WRITE "${entry}/manifest.sha256" "${manifest}")

  file(REMOVE_RECURSE "${dir}")
  file(RENAME "${entry}" "${dir}" RESULT renamed)
  file(REMOVE_RECURSE "${scratch}")
  corvane_fltk_entry_valid("${dir}" valid)
  if(NOT valid)
    message(FATAL_ERROR "FLTK: could not store the build in ${dir} (${renamed})")
  endif()
endfunction()

function(corvane_fltk_from_source tarball cache_root)
  # The tarball must be the one its checksum file names.
  file(SHA256 "${tarball}" tarball_hash)
  if(EXISTS "${tarball}.sha256")
    file(STRINGS "${tarball}.sha256" expected LIMIT_COUNT 1)
    string(REGEX MATCH "^[0-9a-fA-F]+" expected "${expected}")
    string(TOLOWER "${expected}" expected)
    if(NOT expected STREQUAL tarball_hash)
      message(FATAL_ERROR "FLTK: ${tarball} does not match ${tarball}.sha256 "
                          "(${tarball_hash} instead of ${expected}): replace it with an intact copy")
    endif()
  endif()

  # The key: the tarball, the system, the toolchain (its files and compilers),
  # the flags and the options.
  set(identity "${tarball_hash}\n${CMAKE_SYSTEM_NAME}\n${CMAKE_SYSTEM_PROCESSOR}\n${corvane_fltk_options}\n"
               "${CMAKE_GENERATOR}\n${CMAKE_C_FLAGS}\n${CMAKE_CXX_FLAGS}\n")
  # The toolchain file as CMake finds it, given relative to the build tree
  # or the source tree: the same whichever directory CMake runs in (the
  # build runs it again from the build tree when a CMakeLists.txt changed).
  set(toolchain_file "${CMAKE_TOOLCHAIN_FILE}")
  if(toolchain_file AND NOT IS_ABSOLUTE "${toolchain_file}")
    if(EXISTS "${CMAKE_BINARY_DIR}/${toolchain_file}")
      set(toolchain_file "${CMAKE_BINARY_DIR}/${toolchain_file}")
    else()
      set(toolchain_file "${CMAKE_SOURCE_DIR}/${toolchain_file}")
    endif()
  endif()
  set(corvane_toolchain_file "${toolchain_file}")
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
  get_filename_component(name "${tarball}" NAME)
  string(REGEX REPLACE "\\.tar\\.gz$|\\.tgz$" "" name "${name}")

  # A cache that cannot be written to is replaced by one in the build tree.
  execute_process(COMMAND ${CMAKE_COMMAND} -E make_directory "${cache_root}" RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} -E touch "${cache_root}/.writable" RESULT_VARIABLE failed)
  endif()
  if(failed)
    message(NOTICE "-- FLTK: cannot write to ${cache_root}; keeping FLTK in the build tree instead")
    set(cache_root "${CMAKE_BINARY_DIR}/fltk-cache")
    file(MAKE_DIRECTORY "${cache_root}")
  endif()
  set(dir "${cache_root}/${name}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}-${key}")

  # Builds of the same entry wait for each other rather than both working
  # (without the lock, after its timeout, it goes on all the same).
  file(LOCK "${dir}.lock" GUARD FUNCTION TIMEOUT 1800 RESULT_VARIABLE locked)
  corvane_fltk_entry_valid("${dir}" valid)
  if(valid)
    message(STATUS "FLTK: using ${dir}")
  else()
    if(EXISTS "${dir}")
      message(NOTICE "-- FLTK: ${dir} is incomplete, damaged or out of date; building it again")
    endif()
    corvane_fltk_build("${tarball}" "${dir}")
  endif()

  file(STRINGS "${dir}/link-libraries.txt" libraries)
  add_library(corvane::fltk STATIC IMPORTED GLOBAL)
  set_target_properties(corvane::fltk PROPERTIES
    IMPORTED_LOCATION "${dir}/lib/libfltk.a"
    INTERFACE_INCLUDE_DIRECTORIES "${dir}/include"
    INTERFACE_LINK_LIBRARIES "${libraries}")
  set_property(GLOBAL PROPERTY corvane_fltk_license "${dir}/COPYING")
  set_property(GLOBAL PROPERTY corvane_fltk_entry "${dir}")  # for the cache's test
endfunction()

# cmake -DENTRY=DIR -P fltk-from-source.cmake: prints whether DIR is a valid entry.
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND DEFINED ENTRY)
  corvane_fltk_entry_valid("${ENTRY}" valid)
  if(valid)
    message("valid")
  else()
    message("invalid")
  endif()
endif()
