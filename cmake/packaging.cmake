# Installation and packages: the programs, their manual pages and the README, as a Debian
# package on Linux and as a zip from the MinGW-w64 build (`scripts/package` makes both).
include(GNUInstallDirs)

set(DRAVIX_PROGRAMS dravix-bot)
if(DRAVIX_MANAGER)
  list(APPEND DRAVIX_PROGRAMS vorak-manager)
endif()
if(DRAVIX_BENCH)
  list(APPEND DRAVIX_PROGRAMS dravix-bench)
endif()
if(WIN32)
  # The zip unpacks to the programs themselves, beside the README.
  install(TARGETS ${DRAVIX_PROGRAMS} RUNTIME DESTINATION .)
else()
  install(TARGETS ${DRAVIX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(WIN32)
  install(FILES README.md DESTINATION .)
else()
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/dravix-bot)
  # Debian wants manual pages compressed.
  find_program(GZIP gzip REQUIRED)
  foreach(page dravix-bot.1 vorak-manager.1 dravix-bench.1)
    set(gz ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(
      OUTPUT ${gz}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND ${GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${gz}
      DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page}
      VERBATIM)
    list(APPEND DRAVIX_MAN_PAGES ${gz})
  endforeach()
  add_custom_target(man-pages ALL DEPENDS ${DRAVIX_MAN_PAGES})
  install(FILES ${DRAVIX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME dravix-bot)
set(CPACK_PACKAGE_VENDOR "Dravix Bot developers")
set(CPACK_PACKAGE_CONTACT "Dravix Bot developers <dravix-bot@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Monte-Carlo player of the board game Vorak, with a local game manager")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME dravix-bot-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  # dpkg-shlibdeps declares the C and C++ runtimes the programs link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
include(CPack)
