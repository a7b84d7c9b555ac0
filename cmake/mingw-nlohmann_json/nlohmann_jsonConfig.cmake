# SPDX-License-Identifier: GPL-3.0-or-later
# nlohmann_json for a MinGW cross build. Debian's copy is header-only and fits any target, but
# its own package file points at /usr/include, where glibc's headers would shadow MinGW's; so
# the nlohmann folder alone is copied into the build tree and used from there.
if(NOT TARGET nlohmann_json::nlohmann_json)
  find_path(KESTRUNE_NLOHMANN_HOST_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(_kestrune_json_include ${CMAKE_BINARY_DIR}/mingw-nlohmann_json/include)
  file(COPY ${KESTRUNE_NLOHMANN_HOST_INCLUDE}/nlohmann DESTINATION ${_kestrune_json_include})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_kestrune_json_include})
endif()
