# What "cmake --install" puts where, for a package: both programs, their manual pages, the
# desktop entry with its icon and AppStream file, and the sample settings as the system's
# WireLab.ini. The manual pages and the AppStream file carry the project's version.
install(TARGETS wirelab wirelab-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(page wirelab wirelab-cli)
  configure_file(man/${page}.1.in man/${page}.1 @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(WIRELAB_METAINFO io.github.wirelab.WireLab.metainfo.xml)
configure_file(data/${WIRELAB_METAINFO}.in ${WIRELAB_METAINFO} @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${WIRELAB_METAINFO}
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
install(FILES data/wirelab.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES data/wirelab.svg DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
install(FILES WireLab.ini DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/wirelab)
