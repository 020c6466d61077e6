# SPDX-License-Identifier: GPL-2.0-or-later
# Run by CPack beside the zip (its External generator, which stages the same
# install, stripped): makensis makes corvane-VERSION-winBITS-setup.exe from
# packaging/installer.nsi and the staged files, whose names become the
# installer's and the uninstaller's list.
set(staged ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB names RELATIVE ${staged} ${staged}/*)
list(SORT names)
if(NOT names)
  message(FATAL_ERROR "Nothing staged in ${staged} for the installer")
endif()

set(list "!macro ForEachFile MACRO\n")
set(window_program OFF)
foreach(name IN LISTS names)
  if(IS_DIRECTORY ${staged}/${name})
    message(FATAL_ERROR "The installer takes a flat folder: ${staged}/${name} is a directory")
  endif()
  string(APPEND list "  !insertmacro \${MACRO} \"${name}\"\n")
  if(name STREQUAL "corvane.exe")
    set(window_program ON)
  endif()
endforeach()
string(APPEND list "!macroend\n")
set(file_list ${CPACK_TOPLEVEL_DIRECTORY}/files.nsh)
file(WRITE ${file_list} "${list}")

set(installer ${CPACK_TOPLEVEL_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}-setup.exe)
# The shortcut's comment, a sentence.
string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 0 1 first)
string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 1 -1 rest)
string(TOUPPER "${first}" first)
set(defines
  -DVERSION=${CPACK_PACKAGE_VERSION}
  -DBITS=${CPACK_CORVANE_BITS}
  -DFILES=${staged}
  -DFILE_LIST=${file_list}
  "-DDESCRIPTION=${first}${rest}."
  -DICON=${CPACK_CORVANE_ICON}
  -DOUTFILE=${installer})
if(window_program)
  list(APPEND defines -DWINDOW)
endif()
# Warnings are errors: a mistake in the script fails the build.
execute_process(
  COMMAND ${CPACK_CORVANE_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8 ${defines} ${CPACK_CORVANE_INSTALLER_SCRIPT}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "makensis failed (${status}) on ${CPACK_CORVANE_INSTALLER_SCRIPT}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${installer})
