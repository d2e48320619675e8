# CLI11 (Debian libcli11-dev) and nlohmann/json (nlohmann-json3-dev), both
# header-only. A native build takes them from the system include path. A
# cross build must not see the rest of /usr/include, so their headers are
# copied into a folder of their own in the build tree and only that folder
# is put on the include path.
set(CENSUS_SYSTEM_INCLUDE_DIR /usr/include CACHE PATH "Where CLI/ and nlohmann/ are installed")
foreach(header CLI/CLI.hpp nlohmann/json.hpp)
  if(NOT EXISTS ${CENSUS_SYSTEM_INCLUDE_DIR}/${header})
    message(FATAL_ERROR "${CENSUS_SYSTEM_INCLUDE_DIR}/${header} is missing: "
                        "install libcli11-dev and nlohmann-json3-dev")
  endif()
endforeach()

add_library(census_cli11 INTERFACE)
add_library(census_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(header_dir ${CMAKE_BINARY_DIR}/header-only)
  file(COPY ${CENSUS_SYSTEM_INCLUDE_DIR}/CLI DESTINATION ${header_dir})
  file(COPY ${CENSUS_SYSTEM_INCLUDE_DIR}/nlohmann DESTINATION ${header_dir})
  target_include_directories(census_cli11 SYSTEM INTERFACE ${header_dir})
  target_include_directories(census_json SYSTEM INTERFACE ${header_dir})
endif()
