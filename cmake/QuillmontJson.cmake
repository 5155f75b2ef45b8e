# nlohmann/json, header-only (Debian's nlohmann-json3-dev, installed by scripts/setup.sh), for
# the command line's JSON files and outputs. Only its own folder reaches the compilers: the
# headers are copied into the build folder at configure time, because handing the MinGW build
# the host's /usr/include (where the package puts them) would put the host's C library headers
# in front of MinGW's own.
find_path(QM_NLOHMANN_JSON_INCLUDE nlohmann/json.hpp
  HINTS /usr/include /usr/local/include
  NO_CMAKE_FIND_ROOT_PATH)
if(NOT QM_NLOHMANN_JSON_INCLUDE)
  message(FATAL_ERROR "nlohmann/json.hpp not found: run scripts/setup.sh (nlohmann-json3-dev)")
endif()
set(QM_JSON_COPY_DIR ${CMAKE_BINARY_DIR}/third_party/include)
file(REMOVE_RECURSE ${QM_JSON_COPY_DIR}/nlohmann)
file(COPY ${QM_NLOHMANN_JSON_INCLUDE}/nlohmann DESTINATION ${QM_JSON_COPY_DIR})
add_library(qm_json INTERFACE)
target_include_directories(qm_json SYSTEM INTERFACE ${QM_JSON_COPY_DIR})
# Every conversion from a JSON value is spelled out (get<T>()), so that a file's wrong type is
# a decision of ours and never an implicit conversion.
target_compile_definitions(qm_json INTERFACE JSON_USE_IMPLICIT_CONVERSIONS=0)
