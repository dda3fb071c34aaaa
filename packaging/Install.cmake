# What `cmake --install` puts where, and the packages CPack makes of it: a
# Debian package from the native build, a zip from the Windows build.

if(WIN32)
  # Windows users unpack a zip and expect the program, its README and its
  # licence side by side.
  install(TARGETS datemill RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
else()
  # The man page carries the project's version; Debian installs man pages
  # compressed (-n: no name or time stamp, so the build is reproducible).
  configure_file(doc/datemill.1.in datemill.1 @ONLY)
  add_custom_command(
    OUTPUT datemill.1.gz
    COMMAND gzip -9 -n -f -k datemill.1
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/datemill.1
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    VERBATIM)
  add_custom_target(manpage ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/datemill.1.gz)

  # The shell completions, made from the switch table by a program of the
  # build itself.
  add_executable(make_completions packaging/MakeCompletions.cpp)
  target_link_libraries(make_completions PRIVATE datemill_core)
  set(COMPLETIONS ${CMAKE_CURRENT_BINARY_DIR}/completions)
  add_custom_command(
    OUTPUT ${COMPLETIONS}/datemill ${COMPLETIONS}/_datemill ${COMPLETIONS}/datemill.fish
    COMMAND ${CMAKE_COMMAND} -E make_directory ${COMPLETIONS}
    COMMAND make_completions ${COMPLETIONS}
    DEPENDS make_completions
    VERBATIM)
  add_custom_target(completions ALL
    DEPENDS ${COMPLETIONS}/datemill ${COMPLETIONS}/_datemill ${COMPLETIONS}/datemill.fish)

  install(TARGETS datemill RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/datemill.1.gz DESTINATION share/man/man1)
  install(FILES ${COMPLETIONS}/datemill DESTINATION share/bash-completion/completions)
  install(FILES ${COMPLETIONS}/_datemill DESTINATION share/zsh/vendor-completions)
  install(FILES ${COMPLETIONS}/datemill.fish DESTINATION share/fish/vendor_completions.d)
  install(FILES README.md LICENSE DESTINATION share/doc/datemill)
endif()

set(CPACK_PACKAGE_NAME datemill)
set(CPACK_PACKAGE_VENDOR "the Datemill authors")
set(CPACK_PACKAGE_CONTACT "Datemill maintainers <maintainers@users.noreply.c-seed-915f82bf.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "count the files of folders by date")
# Wrapped by hand: the Debian description keeps these line breaks.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Datemill counts the files lying directly in each folder named on its\n"
  "command line by one of their dates (created, last written or last\n"
  "accessed), rendered through a date mask such as yyyy-mm, and writes one\n"
  "report per folder: each date text and its number of files. It can also\n"
  "walk subfolders, filter by extension and draw a bar chart.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Datemill-${PROJECT_VERSION}-win64")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  # datemill_<version>_<architecture>.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The C and C++ runtime versions the program needs, read from the binary.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The bash completion is loaded by bash-completion's loader.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
endif()
include(CPack)
