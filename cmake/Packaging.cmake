# What `cmake --install` puts where, below any prefix, and the Debian package made from it
# (`cpack -G DEB` in the build folder, or scripts/package.sh).
include(GNUInstallDirs)

set(_programs pagewise-cli pagewise-sim)
if(PW_BUILD_GUI)
  list(APPEND _programs pagewise pagewise-station)
endif()
install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# pagewise-cli's manual page and completion take their options from its option table.
set(_filled ${CMAKE_BINARY_DIR}/filled)
foreach(_kind man completion)
  if(_kind STREQUAL man)
    set(_template man/pagewise-cli.1.in)
    set(_output ${_filled}/pagewise-cli.1)
  else()
    set(_template data/completion/pagewise-cli.in)
    set(_output ${_filled}/completion/pagewise-cli)
  endif()
  add_custom_command(OUTPUT ${_output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_filled}/completion
    COMMAND pagewise-cli-docs ${_kind} ${PROJECT_SOURCE_DIR}/${_template} ${_output}
    DEPENDS pagewise-cli-docs ${PROJECT_SOURCE_DIR}/${_template} VERBATIM)
endforeach()
add_custom_target(pw_filled_docs ALL DEPENDS ${_filled}/pagewise-cli.1 ${_filled}/completion/pagewise-cli)

# Manual pages and the changelog, compressed as Debian wants them (-n: no time stamp).
find_program(PW_GZIP gzip REQUIRED)
set(_compressed)
foreach(_source ${PROJECT_SOURCE_DIR}/man/pagewise.1 ${PROJECT_SOURCE_DIR}/man/pagewise-station.1
        ${_filled}/pagewise-cli.1 ${PROJECT_SOURCE_DIR}/man/pagewise-sim.1 ${PROJECT_SOURCE_DIR}/data/debian/changelog.Debian)
  get_filename_component(_name ${_source} NAME)
  set(_gz ${CMAKE_BINARY_DIR}/compressed/${_name}.gz)
  add_custom_command(OUTPUT ${_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
    COMMAND ${PW_GZIP} -9n -c ${_source} > ${_gz}
    DEPENDS ${_source} VERBATIM)
  list(APPEND _compressed ${_gz})
endforeach()
add_custom_target(pw_compressed_docs ALL DEPENDS ${_compressed})
if(NOT PW_BUILD_GUI)
  list(REMOVE_ITEM _compressed ${CMAKE_BINARY_DIR}/compressed/pagewise.1.gz
       ${CMAKE_BINARY_DIR}/compressed/pagewise-station.1.gz)
endif()
list(FILTER _compressed INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${_compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The version has no Debian revision, so the package is native: its changelog is changelog.gz.
install(FILES ${CMAKE_BINARY_DIR}/compressed/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pagewise
        RENAME changelog.gz)
install(FILES data/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pagewise)

if(PW_BUILD_GUI)
  install(FILES data/pagewise.desktop data/pagewise-station.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/completion/pagewise-station DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()
install(FILES ${_filled}/completion/pagewise-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# udev reads /usr/lib/udev/rules.d; the prefix /usr gives that path.
install(FILES data/60-pagewise.rules DESTINATION lib/udev/rules.d)

set(CPACK_PACKAGE_NAME pagewise)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_CONTACT "Corvane <pagewise@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "flash programmer for HZ41C120 microcontrollers")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Pagewise talks to the boot loader of the HZ41C120 over a serial line: it"
  "loads Intel HEX or binary images, erases, programs, verifies by read-back,"
  "runs all three in one pass and dumps flash. It comes as a window (pagewise),"
  "a window for a production line's operator (pagewise-station), a command"
  "line for scripts and production lines (pagewise-cli, with gang runs, station"
  "mode and JSON output) and a simulated target on a pseudo-terminal"
  "(pagewise-sim).")
# The window needs Qt's platform plugins, which no binary links against.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE "")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
