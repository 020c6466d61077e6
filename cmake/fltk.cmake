# Finds FLTK for the window and defines the interface target corvane_fltk
# (headers as system headers, the library and what it needs) and
# CORVANE_GUI, true when there is an FLTK to build the window with.
#
# Linux: Debian's FLTK, required. Windows: an installed FLTK that FLTK_DIR
# names, or one compiled from FLTK's source tarball (cmake/fltk-from-source.cmake).
# Without either, everything but the window is built, and
# window-skipped.txt in the build says why and how to provide FLTK.
add_library(corvane_fltk INTERFACE)
set(CORVANE_GUI FALSE)

if(NOT WIN32)
  find_package(FLTK REQUIRED)
  find_package(X11 REQUIRED)
  target_include_directories(corvane_fltk SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
  target_link_libraries(corvane_fltk INTERFACE ${FLTK_BASE_LIBRARY} X11::X11)
  set(CORVANE_GUI TRUE)
  return()
endif()

get_filename_component(default_source "${PROJECT_SOURCE_DIR}/../shared/third_party/fltk-1.3.8.tar.gz" ABSOLUTE)
set(CORVANE_FLTK_SOURCE "${default_source}" CACHE FILEPATH
    "FLTK's source tarball, compiled for Windows when FLTK_DIR names no installed FLTK")
if(DEFINED ENV{XDG_CACHE_HOME})
  set(cache_home "$ENV{XDG_CACHE_HOME}")
else()
  set(cache_home "$ENV{HOME}/.cache")
endif()
set(CORVANE_FLTK_CACHE "${cache_home}/corvane" CACHE PATH
    "Where FLTK compiled from CORVANE_FLTK_SOURCE is kept for later builds")
set(skipped_note "${CMAKE_BINARY_DIR}/window-skipped.txt")
file(REMOVE "${skipped_note}")

if(FLTK_DIR OR DEFINED ENV{FLTK_DIR})
  set(FLTK_SKIP_OPENGL ON)
  set(FLTK_SKIP_FORMS ON)
  set(FLTK_SKIP_IMAGES ON)
  set(FLTK_SKIP_FLUID ON)
  find_package(FLTK)
  if(FLTK_FOUND)
    set(CORVANE_GUI TRUE)
    # FLTK's own configuration gives its include directories (the source's
    # and, for FL/abi-version.h, the build's) in FLTK_INCLUDE_DIRS.
    if(FLTK_INCLUDE_DIRS)
      set(FLTK_INCLUDE_DIR ${FLTK_INCLUDE_DIRS})
    endif()
    target_include_directories(corvane_fltk SYSTEM INTERFACE ${FLTK_INCLUDE_DIR})
    target_link_libraries(corvane_fltk INTERFACE ${FLTK_BASE_LIBRARY})
    # Its licence text, for the zip: at the top of FLTK's source tree, or
    # where an install keeps its documents.
    foreach(dir IN LISTS FLTK_INCLUDE_DIR)
      foreach(license IN ITEMS "${dir}/COPYING" "${dir}/../share/doc/fltk/COPYING")
        if(EXISTS "${license}")
          get_filename_component(license "${license}" ABSOLUTE)
          set_property(GLOBAL PROPERTY corvane_fltk_license "${license}")
        endif()
      endforeach()
    endforeach()
  endif()
elseif(EXISTS "${CORVANE_FLTK_SOURCE}")
  include(${CMAKE_CURRENT_LIST_DIR}/fltk-from-source.cmake)
  corvane_fltk_from_source("${CORVANE_FLTK_SOURCE}" "${CORVANE_FLTK_CACHE}")
  target_link_libraries(corvane_fltk INTERFACE corvane::fltk)
  set(CORVANE_GUI TRUE)
endif()

if(CORVANE_GUI)
  # FLTK 1.3's headers choose their Windows parts by WIN32, which the
  # compiler does not define in strict C++17 mode.
  target_compile_definitions(corvane_fltk INTERFACE WIN32)
else()
  set(note "The window, corvane.exe, is skipped: this build has no FLTK for Windows. Give it FLTK's \
source tarball with -DCORVANE_FLTK_SOURCE=/path/to/fltk-1.3.8.tar.gz (by default \
../shared/third_party/fltk-1.3.8.tar.gz beside the project), or an installed FLTK with \
-DFLTK_DIR=/path/to/its/CMake/directory.")
  message(STATUS "${note}")
  file(WRITE "${skipped_note}" "${note}\n")
endif()
