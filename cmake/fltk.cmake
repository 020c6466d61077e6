# SPDX-License-Identifier: GPL-2.0-or-later
# Finds FLTK 1.4 for the window and defines the interface target corvane_fltk
# (headers as system headers, the static library and what it needs) and
# CORVANE_GUI, true when there is an FLTK to build the window with.
#
# In order: an installed FLTK 1.4 (its CMake package, which FLTK_DIR may
# name, or its fltk-config on Linux); else FLTK compiled from its source
# tarball, CORVANE_FLTK_SOURCE, and kept in CORVANE_FLTK_CACHE
# (cmake/fltk-from-source.cmake). On Windows without either, everything but
# the window is built, and window-skipped.txt in the build says why and how
# to provide FLTK; Linux needs the window.
option(CORVANE_WINDOW "Build the window program, corvane (needs FLTK 1.4)" ON)
add_library(corvane_fltk INTERFACE)
set(CORVANE_GUI FALSE)
# The fuzzing build and the updater a cross build runs on its host need no window.
if(NOT CORVANE_WINDOW OR CORVANE_FUZZ)
  return()
endif()

get_filename_component(default_source "${PROJECT_SOURCE_DIR}/../shared/third_party/fltk-1.4.5.tar.gz" ABSOLUTE)
set(CORVANE_FLTK_SOURCE "${default_source}" CACHE FILEPATH
    "FLTK's source tarball, compiled when no installed FLTK 1.4 is found")
if(DEFINED ENV{XDG_CACHE_HOME})
  set(cache_home "$ENV{XDG_CACHE_HOME}")
else()
  set(cache_home "$ENV{HOME}/.cache")
endif()
set(CORVANE_FLTK_CACHE "${cache_home}/corvane" CACHE PATH
    "Where FLTK compiled from CORVANE_FLTK_SOURCE is kept for later builds")
set(skipped_note "${CMAKE_BINARY_DIR}/window-skipped.txt")
file(REMOVE "${skipped_note}")

# FLTK's licence text, for the zip: at the top of FLTK's source tree, or
# where an install keeps its documents.
function(corvane_fltk_find_license include_dirs)
  foreach(dir IN LISTS include_dirs)
    foreach(license IN ITEMS "${dir}/COPYING" "${dir}/../COPYING" "${dir}/../share/doc/fltk/COPYING")
      if(EXISTS "${license}")
        get_filename_component(license "${license}" ABSOLUTE)
        set_property(GLOBAL PROPERTY corvane_fltk_license "${license}")
        return()
      endif()
    endforeach()
  endforeach()
endfunction()

# An installed FLTK 1.4: its CMake package (fltk::fltk is the static library).
find_package(FLTK 1.4 CONFIG QUIET)
if(FLTK_FOUND AND TARGET fltk::fltk)
  message(STATUS "FLTK: using the installed FLTK ${FLTK_VERSION} (${FLTK_DIR})")
  target_link_libraries(corvane_fltk INTERFACE fltk::fltk)
  get_target_property(include_dirs fltk::fltk INTERFACE_INCLUDE_DIRECTORIES)
  if(include_dirs)
    target_include_directories(corvane_fltk SYSTEM INTERFACE ${include_dirs})
    corvane_fltk_find_license("${include_dirs}")
  endif()
  set(CORVANE_GUI TRUE)
endif()

# Or its fltk-config (an install made without CMake).
if(NOT CORVANE_GUI AND NOT WIN32)
  find_program(CORVANE_FLTK_CONFIG fltk-config)
  if(CORVANE_FLTK_CONFIG)
    execute_process(COMMAND ${CORVANE_FLTK_CONFIG} --version OUTPUT_VARIABLE version
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(version VERSION_GREATER_EQUAL 1.4 AND version VERSION_LESS 2)
      execute_process(COMMAND ${CORVANE_FLTK_CONFIG} --includedir OUTPUT_VARIABLE include_dir
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      execute_process(COMMAND ${CORVANE_FLTK_CONFIG} --ldstaticflags OUTPUT_VARIABLE flags
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(flags UNIX_COMMAND "${flags}")
      message(STATUS "FLTK: using the installed FLTK ${version} (${CORVANE_FLTK_CONFIG})")
      target_include_directories(corvane_fltk SYSTEM INTERFACE ${include_dir})
      target_link_libraries(corvane_fltk INTERFACE ${flags})
      set(CORVANE_GUI TRUE)
    elseif(version)
      message(STATUS "FLTK: ${CORVANE_FLTK_CONFIG} is FLTK ${version}, not 1.4: not used")
    endif()
  endif()
endif()

# Or FLTK compiled from its source tarball.
if(NOT CORVANE_GUI AND EXISTS "${CORVANE_FLTK_SOURCE}")
  include(${CMAKE_CURRENT_LIST_DIR}/fltk-from-source.cmake)
  corvane_fltk_from_source("${CORVANE_FLTK_SOURCE}" "${CORVANE_FLTK_CACHE}")
  target_link_libraries(corvane_fltk INTERFACE corvane::fltk)
  set(CORVANE_GUI TRUE)
endif()

if(CORVANE_GUI)
  if(NOT WIN32)
    # The window's platform code speaks to X11 itself (the display it opens)
    # and to fontconfig (its configuration, read while the display opens).
    find_package(X11 REQUIRED)
    find_package(Fontconfig REQUIRED)
    target_link_libraries(corvane_fltk INTERFACE X11::X11 Fontconfig::Fontconfig)
    # and to pango, which an FLTK drawing through cairo draws its text with:
    # the first drawing's fonts are loaded ahead (CORVANE_PANGO).
    find_package(PkgConfig QUIET)
    if(PkgConfig_FOUND)
      pkg_check_modules(CORVANE_PANGOCAIRO QUIET IMPORTED_TARGET pangocairo)
    endif()
    if(CORVANE_PANGOCAIRO_FOUND)
      target_link_libraries(corvane_fltk INTERFACE PkgConfig::CORVANE_PANGOCAIRO)
      target_compile_definitions(corvane_fltk INTERFACE CORVANE_PANGO=1)
    endif()
  endif()
elseif(NOT WIN32)
  message(FATAL_ERROR "FLTK: no FLTK 1.4 is installed and its source tarball, ${CORVANE_FLTK_SOURCE}, "
    "is missing: give it with -DCORVANE_FLTK_SOURCE=/path/to/fltk-1.4.5.tar.gz, an installed FLTK 1.4 "
    "with -DFLTK_DIR=/path/to/its/CMake/directory, or build without the window: -DCORVANE_WINDOW=OFF")
else()
  set(note "The window, corvane.exe, is skipped: this build has no FLTK for Windows. Give it FLTK's \
source tarball with -DCORVANE_FLTK_SOURCE=/path/to/fltk-1.4.5.tar.gz (by default \
../shared/third_party/fltk-1.4.5.tar.gz beside the project), or an installed FLTK 1.4 with \
-DFLTK_DIR=/path/to/its/CMake/directory.")
  message(STATUS "${note}")
  file(WRITE "${skipped_note}" "${note}\n")
endif()
