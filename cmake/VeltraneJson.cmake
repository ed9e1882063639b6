# nlohmann-json (Debian's nlohmann-json3-dev, header-only) as the target veltrane_json, the
# one JSON library of the programs. The MinGW builds are given a folder that holds only
# nlohmann/: /usr/include on their search path would put the host's C headers before MinGW's.
find_path(VELTRANE_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(VELTRANE_WINDOWS)
  set(json_include ${CMAKE_BINARY_DIR}/json-include)
  file(COPY ${VELTRANE_NLOHMANN_INCLUDE}/nlohmann DESTINATION ${json_include})
else()
  set(json_include ${VELTRANE_NLOHMANN_INCLUDE})
endif()
add_library(veltrane_json INTERFACE)
target_include_directories(veltrane_json SYSTEM INTERFACE ${json_include})
