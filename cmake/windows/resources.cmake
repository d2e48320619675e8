# census.exe's resources: the icon, drawn from census.svg at build time
# (rsvg-convert renders each size, ImageMagick packs them into one .ico),
# and the version information. The installer shows the same icon.
enable_language(RC)
find_program(RSVG_CONVERT rsvg-convert)
find_program(IMAGEMAGICK NAMES convert-im6.q16 convert)
if(NOT RSVG_CONVERT OR NOT IMAGEMAGICK)
  message(FATAL_ERROR "The Windows build draws its icon with rsvg-convert and ImageMagick: "
                      "install librsvg2-bin and imagemagick (make windows does)")
endif()

set(CENSUS_ICON ${CMAKE_BINARY_DIR}/census.ico)

set(icon_source ${CMAKE_SOURCE_DIR}/cmake/windows/census.svg)
set(icon_pngs)
set(icon_commands)
foreach(size 16 24 32 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/icon/census-${size}.png)
  list(APPEND icon_pngs ${png})
  list(APPEND icon_commands COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_source})
endforeach()
# No time stamps in the PNGs inside, so that the icon is the same each build.
add_custom_command(
  OUTPUT ${CENSUS_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icon
  ${icon_commands}
  COMMAND ${IMAGEMAGICK} ${icon_pngs} -define png:exclude-chunks=date,time ${CENSUS_ICON}
  DEPENDS ${icon_source}
  VERBATIM)
add_custom_target(census_icon DEPENDS ${CENSUS_ICON})

configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/census.manifest.in ${CMAKE_BINARY_DIR}/census.manifest @ONLY)
set(CENSUS_MANIFEST ${CMAKE_BINARY_DIR}/census.manifest)
configure_file(${CMAKE_SOURCE_DIR}/cmake/windows/census.rc.in ${CMAKE_BINARY_DIR}/census.rc @ONLY)
target_sources(census PRIVATE ${CMAKE_BINARY_DIR}/census.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/census.rc PROPERTIES OBJECT_DEPENDS
                                                               "${CENSUS_ICON};${CENSUS_MANIFEST}")
add_dependencies(census census_icon)
