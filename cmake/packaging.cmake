# Installing census and packing it: a .deb on Linux; on Windows a .zip and
# an installer (cmake/windows/package.cmake).
# Linux:   bin/census, share/man/man1/census.1.gz, and in share/doc/census/
#          README.md, copyright, changelog.gz and examples/
find_program(MANDOC mandoc)

if(WIN32)
  include(cmake/windows/package.cmake)
else()
  include(GNUInstallDirs)
  # Debian wants the manual and the changelog compressed, without a time
  # stamp in the gzip header (-n), so that builds are reproducible.
  set(compressed ${CMAKE_BINARY_DIR}/compressed)
  add_custom_command(
    OUTPUT ${compressed}/census.1.gz ${compressed}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${compressed}
    COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/doc/census.1' > '${compressed}/census.1.gz'"
    COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/cmake/debian/changelog' > '${compressed}/changelog.gz'"
    DEPENDS doc/census.1 cmake/debian/changelog
    VERBATIM)
  add_custom_target(compressed_docs ALL DEPENDS ${compressed}/census.1.gz ${compressed}/changelog.gz)
  install(TARGETS census DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${compressed}/census.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md cmake/debian/copyright ${compressed}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES examples/README.md examples/cens-stat.dat DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endif()

set(CPACK_PACKAGE_NAME census)
set(CPACK_PACKAGE_VENDOR "${CENSUS_PUBLISHER}")
set(CPACK_PACKAGE_CONTACT "census authors <census@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "population figures of Nigerian states")
set(CPACK_PACKAGE_DESCRIPTION "An interactive console program with which one operator enters,
saves and lists the population figures of Nigerian states, kept in plain
text files in the working directory.")
set(CPACK_STRIP_FILES ON)
include(CPack)
