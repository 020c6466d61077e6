# SPDX-License-Identifier: GPL-2.0-or-later
# FLTK compiled from its source tarball, for the builds that find no FLTK 1.4
# installed: the Windows cross builds (no Debian package has FLTK for them)
# and Linux systems whose FLTK is older (Debian 12 has 1.3). It is compiled
# with this build's own compilers, flags and toolchain, once per tarball,
# system, toolchain and flags, into the cache of cmake/cached-build.cmake.
#
# corvane_fltk_from_source(TARBALL CACHE_ROOT) defines the imported library
# corvane::fltk.

include(${CMAKE_CURRENT_LIST_DIR}/cached-build.cmake)

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

# What an entry must hold.
set(corvane_fltk_needed lib/libfltk.a include/FL/Fl.H include/FL/fl_config.h COPYING link-libraries.txt)

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

# Builds FLTK from TARBALL for the entry DIR, in a scratch directory beside
# it; OUT names where the entry is kept (DIR, or the build tree's).
function(corvane_fltk_build tarball dir out)
  corvane_cache_scratch("${dir}" scratch)
  file(MAKE_DIRECTORY "${scratch}/source")
  include(ProcessorCount)
  ProcessorCount(jobs)
  if(jobs EQUAL 0)
    set(jobs 1)
  endif()
  message(NOTICE "-- FLTK: building it for ${CMAKE_SYSTEM_NAME} ${CMAKE_SYSTEM_PROCESSOR} from ${tarball} "
                 "into ${dir} (a minute or a few; later builds reuse it)")
  corvane_cache_run(FLTK "extracting ${tarball}" "${scratch}/extract"
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
  corvane_cache_run(FLTK "configuring" "${scratch}/configure"
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
  corvane_cache_run(FLTK "compiling" "${scratch}/compile"
    ${CMAKE_COMMAND} --build "${scratch}/build" --target fltk -j ${jobs})

  set(entry "${scratch}/entry")
  file(COPY "${top}/FL/" DESTINATION "${entry}/include/FL" FILES_MATCHING PATTERN "*.H" PATTERN "*.h")
  # The headers the configuration writes (fl_config.h, abi-version.h).
  file(COPY "${scratch}/build/FL/" DESTINATION "${entry}/include/FL" FILES_MATCHING PATTERN "*.h")
  file(COPY "${scratch}/build/lib/libfltk.a" DESTINATION "${entry}/lib")
  file(COPY "${top}/COPYING" DESTINATION "${entry}")
  corvane_fltk_link_libraries("${scratch}/build/FLTK-Targets.cmake" libraries)
  file(WRITE "${entry}/link-libraries.txt" "${libraries}")
  corvane_cache_store(FLTK "${entry}" "${dir}" kept ${corvane_fltk_needed})
  execute_process(COMMAND ${CMAKE_COMMAND} -E rm -rf "${scratch}" OUTPUT_QUIET ERROR_QUIET)
  set(${out} "${kept}" PARENT_SCOPE)
endfunction()

function(corvane_fltk_from_source tarball cache_root)
  corvane_cache_tarball_hash(FLTK "${tarball}" tarball_hash)
  corvane_cache_key("${tarball_hash}" "${corvane_fltk_options}" key)
  get_filename_component(name "${tarball}" NAME)
  string(REGEX REPLACE "\\.tar\\.gz$|\\.tgz$" "" name "${name}")
  corvane_cache_root(FLTK "${cache_root}" cache_root)
  set(dir "${cache_root}/${name}-${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}-${key}")

  # Builds of the same entry wait for each other rather than both working
  # (without the lock, after its timeout, it goes on all the same).
  file(LOCK "${dir}.lock" GUARD FUNCTION TIMEOUT 1800 RESULT_VARIABLE locked)
  corvane_cache_entry_valid("${dir}" valid ${corvane_fltk_needed})
  if(valid)
    message(STATUS "FLTK: using ${dir}")
  else()
    if(EXISTS "${dir}")
      message(NOTICE "-- FLTK: ${dir} is incomplete, damaged or out of date; building it again")
    endif()
    corvane_fltk_build("${tarball}" "${dir}" dir)
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
  corvane_cache_entry_valid("${ENTRY}" valid ${corvane_fltk_needed})
  if(valid)
    message("valid")
  else()
    message("invalid")
  endif()
endif()
