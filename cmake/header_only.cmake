# CLI11 (Debian libcli11-dev), nlohmann/json (nlohmann-json3-dev) and Boost
# (libboost1.81-dev, for Beast and Asio), all header-only. A native build takes them from the system include path. A
# cross build must not see the rest of /usr/include, so their headers are
# copied into a folder of their own in the build tree and only that folder
# is put on the include path.
set(CENSUS_SYSTEM_INCLUDE_DIR /usr/include CACHE PATH "Where CLI/ and nlohmann/ are installed")
foreach(header CLI/CLI.hpp nlohmann/json.hpp boost/beast.hpp)
  if(NOT EXISTS ${CENSUS_SYSTEM_INCLUDE_DIR}/${header})
    message(FATAL_ERROR "${CENSUS_SYSTEM_INCLUDE_DIR}/${header} is missing: "
                        "install libcli11-dev, nlohmann-json3-dev and libboost1.81-dev")
  endif()
endforeach()

add_library(census_cli11 INTERFACE)
add_library(census_json INTERFACE)
add_library(census_boost INTERFACE)
if(CMAKE_CROSSCOMPILING)
  set(header_dir ${CMAKE_BINARY_DIR}/header-only)
  file(COPY ${CENSUS_SYSTEM_INCLUDE_DIR}/CLI DESTINATION ${header_dir})
  file(COPY ${CENSUS_SYSTEM_INCLUDE_DIR}/nlohmann DESTINATION ${header_dir})
  target_include_directories(census_cli11 SYSTEM INTERFACE ${header_dir})
  target_include_directories(census_json SYSTEM INTERFACE ${header_dir})
  # Boost's headers are many: a link to them, not a copy.
  file(CREATE_LINK ${CENSUS_SYSTEM_INCLUDE_DIR}/boost ${header_dir}/boost SYMBOLIC)
  target_include_directories(census_boost SYSTEM INTERFACE ${header_dir})
endif()
