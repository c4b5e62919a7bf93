# The programs' own resources on Windows: the icon drawn from data/wirelab.svg into a
# multi-size .ico, the version of project() with the product's name and copyright, and the
# manifest; windres compiles one .rc per program. The installer's script is filled in here
# as well, with the same version, publisher and icon.
enable_language(RC)
find_program(WIRELAB_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(WIRELAB_ICOTOOL icotool REQUIRED)

set(WIRELAB_PUBLISHER "WireLab developers")
set(WIRELAB_COPYRIGHT "© 2026 WireLab developers")
set(WIRELAB_MANIFEST ${CMAKE_SOURCE_DIR}/data/windows/wirelab.manifest)
set(WIRELAB_ICO ${CMAKE_BINARY_DIR}/wirelab.ico)

# The sizes Explorer, the taskbar and the title bar ask for at 100 to 200 % scale; 256 is kept
# as PNG inside the .ico, as Windows expects.
set(icon_pngs)
set(icon_commands)
foreach(size 16 20 24 32 40 48 64 256)
  set(png ${CMAKE_BINARY_DIR}/icon/wirelab-${size}.png)
  list(APPEND icon_commands COMMAND ${WIRELAB_RSVG_CONVERT} -w ${size} -h ${size}
    -o ${png} ${CMAKE_SOURCE_DIR}/data/wirelab.svg)
  if(size EQUAL 256)
    list(APPEND icon_pngs --raw=${png})
  else()
    list(APPEND icon_pngs ${png})
  endif()
endforeach()
add_custom_command(OUTPUT ${WIRELAB_ICO}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icon
  ${icon_commands}
  COMMAND ${WIRELAB_ICOTOOL} -c -o ${WIRELAB_ICO} ${icon_pngs}
  DEPENDS ${CMAKE_SOURCE_DIR}/data/wirelab.svg
  COMMENT "Drawing wirelab.ico")
add_custom_target(wirelab_icon DEPENDS ${WIRELAB_ICO})

function(wirelab_resources target file_name description)
  set(WIRELAB_FILE_NAME ${file_name})
  get_filename_component(WIRELAB_INTERNAL_NAME ${file_name} NAME_WE)
  set(WIRELAB_DESCRIPTION ${description})
  set(rc ${CMAKE_BINARY_DIR}/${WIRELAB_INTERNAL_NAME}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/data/windows/wirelab.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${WIRELAB_ICO};${WIRELAB_MANIFEST}")
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} wirelab_icon)
endfunction()

wirelab_resources(wirelab WireLab.exe "RS232 Emülatör")
wirelab_resources(wirelab-cli wirelab-cli.exe "WireLab komut satırı")

configure_file(${CMAKE_SOURCE_DIR}/data/windows/installer.nsi.in ${CMAKE_BINARY_DIR}/installer.nsi
  @ONLY)
