# Installing marvolen as a desktop program, and its Debian package.
include(GNUInstallDirs)

set(MARVOLEN_APP_ID "example.marvolen.Marvolen")

if(TARGET marvolen)
  install(TARGETS marvolen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET quizbank)
  install(TARGETS quizbank RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The manual page is made from the same text as `quizbank --help`.
  find_program(HELP2MAN_EXECUTABLE help2man)
  if(HELP2MAN_EXECUTABLE)
    set(quizbank_man "${CMAKE_CURRENT_BINARY_DIR}/quizbank.1")
    add_custom_command(OUTPUT ${quizbank_man}
      COMMAND ${HELP2MAN_EXECUTABLE} --no-info --no-discard-stderr
              --name "build, inspect and check marvolen question banks"
              --version-string "${PROJECT_VERSION}" -o ${quizbank_man} $<TARGET_FILE:quizbank>
      DEPENDS quizbank
      COMMENT "Making the quizbank manual page")
    add_custom_target(quizbank_manpage ALL DEPENDS ${quizbank_man})
    install(FILES ${quizbank_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endif()
if(TARGET sample_bank)
  install(FILES ${CMAKE_BINARY_DIR}/sample/tovra.mdb DESTINATION ${CMAKE_INSTALL_DATADIR}/marvolen)
endif()

# The icon at 1x and 2x in the icon theme; both images beside the sample bank.
set(images_dir ${PROJECT_SOURCE_DIR}/res/images)
install(FILES ${images_dir}/icon128.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME marvolen.png)
install(FILES ${images_dir}/icon128@2x.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME marvolen.png)
install(FILES ${images_dir}/icon128.png ${images_dir}/icon128@2x.png ${images_dir}/picture133.png ${images_dir}/picture133@2x.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/marvolen/images)

# The entry's working directory is the installed bank's folder, known only when installing
# (cmake --install --prefix and cpack choose their own prefix).
set(desktop_file "${CMAKE_BINARY_DIR}/packaging/${MARVOLEN_APP_ID}.desktop")
install(CODE "
  set(MARVOLEN_INSTALL_BANK_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/marvolen\")
  configure_file(\"${CMAKE_CURRENT_LIST_DIR}/marvolen.desktop.in\" \"${desktop_file}\" @ONLY)
")
configure_file(${CMAKE_CURRENT_LIST_DIR}/${MARVOLEN_APP_ID}.metainfo.xml
               ${CMAKE_BINARY_DIR}/packaging/${MARVOLEN_APP_ID}.metainfo.xml @ONLY)
install(FILES ${desktop_file} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${MARVOLEN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# CPack: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME "marvolen")
set(CPACK_PACKAGE_VENDOR "Orvanta")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Psychological self-test quiz program")
set(CPACK_PACKAGE_CONTACT "Orvanta <support@marvolen.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found by the library scan: Qt's Chinese button texts and the dialog font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-arphic-uming")
include(CPack)
