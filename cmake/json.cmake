# SPDX-License-Identifier: GPL-2.0-or-later
# nlohmann's JSON library, header-only (Debian's nlohmann-json3-dev), as the
# interface target corvane_json. A cross build sees its headers alone, not
# the rest of the build machine's.
add_library(corvane_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(CORVANE_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT CORVANE_NLOHMANN_INCLUDE)
    message(FATAL_ERROR "No nlohmann/json.hpp: install nlohmann-json3-dev (scripts/install-deps.sh)")
  endif()
  set(alone ${CMAKE_BINARY_DIR}/nlohmann-include)
  file(MAKE_DIRECTORY ${alone})
  file(CREATE_LINK ${CORVANE_NLOHMANN_INCLUDE}/nlohmann ${alone}/nlohmann SYMBOLIC)
  target_include_directories(corvane_json SYSTEM INTERFACE ${alone})
else()
  find_package(nlohmann_json 3.9 REQUIRED)
  target_link_libraries(corvane_json INTERFACE nlohmann_json::nlohmann_json)
endif()
