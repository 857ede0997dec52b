# nlohmann/json (header only) from Debian's nlohmann-json3-dev, as the interface target
# nlohmann_json_headers. The package's folder is /usr/include, which a MinGW build must not
# search (glibc's headers would stand in for MinGW's), so the build tree gets a folder that
# holds only nlohmann/. It is a system include: the library's warnings are not ours.
if(NOT TARGET nlohmann_json_headers)
  find_path(NLOHMANN_JSON_PARENT nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT NLOHMANN_JSON_PARENT)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/setup.sh)")
  endif()
  set(NLOHMANN_JSON_ALONE ${CMAKE_BINARY_DIR}/nlohmann-json/include)
  file(MAKE_DIRECTORY ${NLOHMANN_JSON_ALONE})
  file(CREATE_LINK ${NLOHMANN_JSON_PARENT}/nlohmann ${NLOHMANN_JSON_ALONE}/nlohmann SYMBOLIC)
  add_library(nlohmann_json_headers INTERFACE)
  target_include_directories(nlohmann_json_headers SYSTEM INTERFACE ${NLOHMANN_JSON_ALONE})
endif()
