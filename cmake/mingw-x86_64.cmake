# SPDX-License-Identifier: GPL-2.0-or-later
# 64-bit Windows; CTest runs the test programs through Wine.
set(CORVANE_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
