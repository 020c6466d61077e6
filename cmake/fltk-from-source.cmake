# FLTK for the Windows cross builds. No Debian package has it, so it is
# compiled here from FLTK's source tarball with this build's own toolchain,
# once per tarball and toolchain, into a cache outside the build tree that
# every later build (and every clone) reuses.
#
# corvane_fltk_from_source(TARBALL CACHE_ROOT) defines the imported library
# corvane::fltk. A cache entry is used only when every file in it still has
# the hash recorded when it was made; anything else is built afresh.

# What FLTK is built with: examples, tests, OpenGL and the image libraries
# (system or bundled) stay out; only the core library is compiled.
set(corvane_fltk_options
  -DCMAKE_BUILD_TYPE=Release
  -DFLTK_BUILD_TEST=OFF
  -DFLTK_BUILD_EXAMPLES=OFF
  -DOPTION_USE_GL=OFF
  -DOPTION_USE_SYSTEM_LIBJPEG=OFF
  -DOPTION_USE_SYSTEM_LIBPNG=OFF
  -DOPTION_USE_SYSTEM_ZLIB=OFF
  -DOPTION_BUILD_HTML_DOCUMENTATION=OFF
  -DOPTION_BUILD_PDF_DOCUMENTATION=OFF)
# The Win32 libraries a static libfltk.a needs.
set(corvane_fltk_system_libraries ole32 uuid comctl32 gdi32 ws2_32 comdlg32 user32 shell32 advapi32)

# True in OUT when DIR holds a complete entry: its manifest lists the library
# and the headers, and every file listed still has its recorded hash.
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
  if("lib/libfltk.a" IN_LIST listed AND "include/FL/Fl.H" IN_LIST listed
     AND "include/FL/abi-version.h" IN_LIST listed AND "COPYING" IN_LIST listed)
    set(${out} TRUE PARENT_SCOPE)
  endif()
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
  message(NOTICE "-- FLTK: building it for ${CMAKE_SYSTEM_PROCESSOR} from ${tarball} into ${dir}"
                 " (a few minutes; later builds reuse it)")
  corvane_fltk_run("extracting ${tarball}" "${scratch}/extract"
    ${CMAKE_COMMAND} -E chdir "${scratch}/source" ${CMAKE_COMMAND} -E tar xzf "${tarball}")
  file(GLOB top LIST_DIRECTORIES true "${scratch}/source/*")
  list(LENGTH top count)
  if(NOT count EQUAL 1 OR NOT EXISTS "${top}/FL/Fl.H")
    message(FATAL_ERROR "FLTK: ${tarball} does not hold FLTK's sources")
  endif()
  corvane_fltk_run("configuring" "${scratch}/configure"
    ${CMAKE_COMMAND} -S "${top}" -B "${scratch}/build" -G "${CMAKE_GENERATOR}"
    "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}" ${corvane_fltk_options})
  corvane_fltk_run("compiling" "${scratch}/compile"
    ${CMAKE_COMMAND} --build "${scratch}/build" --target fltk -j ${jobs})

  set(entry "${scratch}/entry")
  file(COPY "${top}/FL/" DESTINATION "${entry}/include/FL" FILES_MATCHING PATTERN "*.H" PATTERN "*.h")
  file(COPY "${scratch}/build/FL/abi-version.h" DESTINATION "${entry}/include/FL")
  file(COPY "${scratch}/build/lib/libfltk.a" DESTINATION "${entry}/lib")
  file(COPY "${top}/COPYING" DESTINATION "${entry}")
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

  # The key: the tarball, the toolchain (its files and compilers) and the options.
  set(identity "${tarball_hash}\n${CMAKE_SYSTEM_PROCESSOR}\n${corvane_fltk_options}\n${CMAKE_GENERATOR}\n")
  get_filename_component(toolchain_dir "${CMAKE_TOOLCHAIN_FILE}" DIRECTORY)
  foreach(file IN ITEMS "${CMAKE_TOOLCHAIN_FILE}" "${toolchain_dir}/mingw.cmake")
    if(EXISTS "${file}")
      file(SHA256 "${file}" hash)
      string(APPEND identity "${hash}\n")
    endif()
  endforeach()
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
  set(dir "${cache_root}/${name}-${CMAKE_SYSTEM_PROCESSOR}-${key}")

  # Builds of the same entry wait for each other rather than both working
  # (without the lock, after its timeout, it goes on all the same).
  file(LOCK "${dir}.lock" GUARD FUNCTION TIMEOUT 1800 RESULT_VARIABLE locked)
  corvane_fltk_entry_valid("${dir}" valid)
  if(valid)
    message(STATUS "FLTK: using ${dir}")
  else()
    if(EXISTS "${dir}")
      message(NOTICE "-- FLTK: ${dir} is incomplete or damaged; building it again")
    endif()
    corvane_fltk_build("${tarball}" "${dir}")
  endif()

  add_library(corvane::fltk STATIC IMPORTED GLOBAL)
  set_target_properties(corvane::fltk PROPERTIES
    IMPORTED_LOCATION "${dir}/lib/libfltk.a"
    INTERFACE_INCLUDE_DIRECTORIES "${dir}/include"
    INTERFACE_LINK_LIBRARIES "${corvane_fltk_system_libraries}")
  set_property(GLOBAL PROPERTY corvane_fltk_license "${dir}/COPYING")
endfunction()
