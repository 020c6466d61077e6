# SPDX-License-Identifier: GPL-2.0-or-later
# 32-bit Windows: compiled and linked here, not run (no 32-bit Wine).
set(CORVANE_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
