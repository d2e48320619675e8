# What a Windows user gets, side by side in one folder: census.exe, the
# README, the manual as plain text, the licence, the changelog and the
# example grid, every text file with CR LF line ends so that any Windows
# editor shows it right. The zip (CPack) and the installer (NSIS, from the
# same installed tree) carry the same files.
find_program(MAKENSIS makensis)
if(NOT MANDOC OR NOT MAKENSIS)
  message(FATAL_ERROR "The Windows packages hold the manual as text and are installed by NSIS: "
                      "install mandoc and nsis (make windows does)")
endif()

set(windows_files ${CMAKE_BINARY_DIR}/windows-files)
# The READMEs are written for Windows users (doc/windows), with the
# version and the contact filled in.
set(windows_readmes ${CMAKE_BINARY_DIR}/windows-readmes)
configure_file(${CMAKE_SOURCE_DIR}/doc/windows/README.txt ${windows_readmes}/README.txt @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/doc/windows/examples-README.txt ${windows_readmes}/examples-README.txt COPYONLY)
# source -> name in the package
set(windows_texts
    ${windows_readmes}/README.txt README.txt
    ${CMAKE_SOURCE_DIR}/LICENSE LICENSE.txt
    ${windows_readmes}/examples-README.txt examples/README.txt
    ${CMAKE_SOURCE_DIR}/examples/cens-stat.dat examples/cens-stat.dat)
set(to_crlf "sed -e 's/\\r$//' -e 's/$/\\r/'")
# A .txt file starts with a UTF-8 byte order mark, by which Notepad and
# every other Windows editor know it as UTF-8; a data file has none, as
# census reads it. (No semicolons: a CMake list would split there.)
set(bom "printf '\\357\\273\\277'")

# The manual is the manual page's text for Windows (its register W set),
# without the page's heading and footing lines and without tabs; the
# changelog is CHANGELOG.md as plain text.
set(text_outputs ${windows_files}/census-manual.txt ${windows_files}/CHANGELOG.txt)
set(text_commands
    COMMAND sh -c "(${bom} && '${CMAKE_SOURCE_DIR}/tools/windows-manual' '${MANDOC}' '${CMAKE_SOURCE_DIR}/doc/census.1' ${PROJECT_VERSION}) | ${to_crlf} > '${windows_files}/census-manual.txt'"
    COMMAND sh -c "(${bom} && awk -f '${CMAKE_SOURCE_DIR}/tools/changelog-text.awk' '${CMAKE_SOURCE_DIR}/CHANGELOG.md') | ${to_crlf} > '${windows_files}/CHANGELOG.txt'")
set(text_sources ${CMAKE_SOURCE_DIR}/doc/census.1 ${CMAKE_SOURCE_DIR}/CHANGELOG.md
                 ${CMAKE_SOURCE_DIR}/tools/changelog-text.awk ${CMAKE_SOURCE_DIR}/tools/windows-manual)
while(windows_texts)
  list(POP_FRONT windows_texts source name)
  list(APPEND text_outputs ${windows_files}/${name})
  list(APPEND text_sources ${source})
  set(mark "")
  if(name MATCHES "\\.txt$")
    set(mark "${bom} && ")
  endif()
  list(APPEND text_commands COMMAND sh -c "(${mark}${to_crlf} < '${source}') > '${windows_files}/${name}'")
endwhile()
add_custom_command(
  OUTPUT ${text_outputs}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${windows_files}/examples
  ${text_commands}
  DEPENDS ${text_sources}
  VERBATIM)
add_custom_target(windows_texts ALL DEPENDS ${text_outputs})

install(TARGETS census DESTINATION .)
install(DIRECTORY ${windows_files}/ DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_SYSTEM_NAME windows-x86_64)

# census-<version>-setup.exe: installs what the zip holds, stripped, from
# a tree installed for it alone.
set(CENSUS_SETUP ${CMAKE_BINARY_DIR}/census-${PROJECT_VERSION}-setup.exe)
set(CENSUS_SETUP_TREE ${CMAKE_BINARY_DIR}/setup-tree)
set(script ${CMAKE_SOURCE_DIR}/cmake/windows/census.nsi)
# The picture beside the welcome and finish pages: the icon's chart on its
# green, 164 by 314 as NSIS wants it.
set(side_picture ${CMAKE_BINARY_DIR}/icon/installer-side.bmp)
add_custom_command(
  OUTPUT ${side_picture}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icon
  COMMAND ${RSVG_CONVERT} -w 128 -h 128 -o ${CMAKE_BINARY_DIR}/icon/census-128.png
          ${CMAKE_SOURCE_DIR}/cmake/windows/census.svg
  COMMAND ${IMAGEMAGICK} -size 164x314 xc:\#008751 ${CMAKE_BINARY_DIR}/icon/census-128.png
          -gravity north -geometry +0+60 -composite BMP3:${side_picture}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/windows/census.svg
  VERBATIM)
add_custom_command(
  OUTPUT ${CENSUS_SETUP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CENSUS_SETUP_TREE}
  COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --prefix ${CENSUS_SETUP_TREE} --strip
  COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 -DVERSION=${PROJECT_VERSION}
          "-DPUBLISHER=${CENSUS_PUBLISHER}" "-DCOPYRIGHT=${CENSUS_COPYRIGHT}"
          -DTREE=${CENSUS_SETUP_TREE} -DICON=${CENSUS_ICON}
          -DSIDE_PICTURE=${side_picture}
          -DOUTFILE=${CENSUS_SETUP} ${script}
  DEPENDS census windows_texts ${text_outputs} ${script} ${CENSUS_ICON} ${side_picture}
  VERBATIM)
add_custom_target(installer ALL DEPENDS ${CENSUS_SETUP})
