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
  # The zip's folder holds the programs themselves, beside the README.
  install(TARGETS ${DRAVIX_PROGRAMS} RUNTIME DESTINATION .)
else()
  install(TARGETS ${DRAVIX_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The README of the package speaks of the installed programs, not of the source tree.
set(DRAVIX_PACKAGE_DOCS ${PROJECT_SOURCE_DIR}/docs/package)
if(WIN32)
  install(FILES ${DRAVIX_PACKAGE_DOCS}/README.md DESTINATION .)
else()
  set(doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/dravix-bot)
  install(FILES ${DRAVIX_PACKAGE_DOCS}/README.md ${DRAVIX_PACKAGE_DOCS}/copyright DESTINATION ${doc})
  # Debian wants the changelog of the package (a native one: changelog.gz), compressed as the
  # manual pages are.
  configure_file(${DRAVIX_PACKAGE_DOCS}/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
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
  set(changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(
    OUTPUT ${changelog}
    COMMAND ${GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/changelog > ${changelog}
    DEPENDS ${CMAKE_BINARY_DIR}/changelog
    VERBATIM)
  add_custom_target(man-pages ALL DEPENDS ${DRAVIX_MAN_PAGES} ${changelog})
  install(FILES ${DRAVIX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${changelog} DESTINATION ${doc})
endif()

set(CPACK_PACKAGE_NAME dravix-bot)
set(CPACK_PACKAGE_VENDOR "Dravix Bot developers")
set(CPACK_PACKAGE_CONTACT "Dravix Bot developers <dravix-bot@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Monte-Carlo player of the board game Vorak, with a local game manager")
# The extended description, under the summary; CPack indents its lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "dravix-bot plays Vorak, a two-player strategy game on a hexagonal board,
against a refereeing game server over TCP, choosing each action by a
time-bounded Monte-Carlo search. vorak-manager is a local game server: it
referees games between TCP clients, built-in players and a person on a web
page, and records series. dravix-bench measures the search's speed.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME dravix-bot-${PROJECT_VERSION}-windows-x64)
  # Unzipped, it is one folder of that name, as Windows users expect.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  # Not "games": Debian keeps those in /usr/games, and these are tools around a game.
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  # dpkg-shlibdeps declares the C and C++ runtimes the programs link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
endif()
include(CPack)
