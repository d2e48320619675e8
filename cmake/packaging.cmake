# Installing census and packing it: a .deb on Linux, a .zip on Windows.
# Linux:   bin/census, share/man/man1/census.1, share/doc/census/README.md
# Windows: census.exe, README.md and the manual as plain text, side by side.
find_program(MANDOC mandoc)

if(WIN32)
  install(TARGETS census DESTINATION .)
  install(FILES README.md DESTINATION .)
  if(MANDOC)
    set(manual_text ${CMAKE_BINARY_DIR}/census-manual.txt)
    add_custom_command(
      OUTPUT ${manual_text}
      COMMAND sh -c "'${MANDOC}' -Tascii '${CMAKE_SOURCE_DIR}/doc/census.1' | col -b > '${manual_text}'"
      DEPENDS doc/census.1
      VERBATIM)
    add_custom_target(manual_text ALL DEPENDS ${manual_text})
    install(FILES ${manual_text} DESTINATION .)
  endif()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME windows-x86_64)
else()
  include(GNUInstallDirs)
  install(TARGETS census DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES doc/census.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

set(CPACK_PACKAGE_NAME census)
set(CPACK_PACKAGE_VENDOR "census")
set(CPACK_PACKAGE_CONTACT "census maintainers <census@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Record and review population figures of Nigerian states")
set(CPACK_PACKAGE_DESCRIPTION "An interactive console program with which one operator \
enters, saves and lists the population figures of Nigerian states, kept in plain text files.")
set(CPACK_STRIP_FILES ON)
include(CPack)
