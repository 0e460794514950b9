# Installation layout and the Debian package (CPack DEB):
#   /usr/lib/tq582/TQ582, /usr/lib/tq582/libHorvex.so   the terminal loads the library from
#                                                       its own folder
#   /usr/bin/TQ582 -> ../lib/tq582/TQ582               (the terminal resolves the link)
#   /usr/bin/tq582ctl
#   /usr/lib/tq582/tq582-desktop                       the desktop entry's launcher
#   /usr/share/tq582/site/                             the demo site
#   manual pages, desktop entry, icon, bash completion, copyright
# Only the two programs and the library are installed: never tests, benchmarks or fuzzers.
include(GNUInstallDirs)

set(tq582_pkg_dir ${CMAKE_SOURCE_DIR}/packaging)
set(tq582_libdir lib/tq582)

install(TARGETS TQ582 RUNTIME DESTINATION ${tq582_libdir})
install(TARGETS Horvex LIBRARY DESTINATION ${tq582_libdir})
install(TARGETS tq582ctl RUNTIME DESTINATION bin)
install(PROGRAMS ${tq582_pkg_dir}/tq582-desktop DESTINATION ${tq582_libdir})

# The command name TQ582 on the path is a relative symbolic link to the terminal itself.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
file(CREATE_LINK ../lib/tq582/TQ582 ${CMAKE_BINARY_DIR}/package/TQ582 SYMBOLIC)
install(FILES ${CMAKE_BINARY_DIR}/package/TQ582 DESTINATION bin)

# Manual pages, compressed as Debian installs them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(tq582_manpages)
foreach(page tq582ctl.1 TQ582.1)
  set(gz ${CMAKE_BINARY_DIR}/package/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${GZIP_PROGRAM} -9nc ${tq582_pkg_dir}/${page} > ${gz}
    DEPENDS ${tq582_pkg_dir}/${page} VERBATIM)
  list(APPEND tq582_manpages ${gz})
endforeach()
add_custom_target(tq582_manpages ALL DEPENDS ${tq582_manpages})
install(FILES ${tq582_manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${tq582_pkg_dir}/tq582.desktop DESTINATION share/applications)
install(FILES ${tq582_pkg_dir}/tq582.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${tq582_pkg_dir}/tq582ctl.bash-completion
        DESTINATION share/bash-completion/completions RENAME tq582ctl)
install(FILES ${tq582_pkg_dir}/copyright DESTINATION share/doc/tq582)
# The demo site: the working directory with its two files, and the empty DB and EXCEL folders
# the terminal fills (a copy of it is what a site starts from).
install(DIRECTORY ${CMAKE_SOURCE_DIR}/site/ DESTINATION share/tq582/site
        PATTERN "*.mdb*" EXCLUDE PATTERN "*.xls" EXCLUDE PATTERN ".keep" EXCLUDE)
install(DIRECTORY DESTINATION share/tq582/site/DB)
install(DIRECTORY DESTINATION share/tq582/site/EXCEL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tq582)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "TQ582 developers <tq582@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "time clock and attendance terminal")
set(CPACK_PACKAGE_DESCRIPTION
    "TQ582 runs on a shared PC at the entrance of a small workplace: employees clock in and \
out, review their payroll period and file requests; the terminal computes each day's \
attendance and overtime from the site's working rules and keeps everything in one \
encrypted database file. tq582ctl runs the same operations from a shell.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY tq582)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps must not look for a package owning our own library.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Japanese text on the window needs a Japanese font; the launcher of the desktop entry uses
# the shell's coreutils only.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic")
# The libraries opened at run time (libpq, libgsf): the package that installs each, at the
# version its shlibs entry asks for, as dpkg-shlibdeps would give it for a linked library.
get_property(tq582_opened GLOBAL PROPERTY TQ582_OPENED_LIBRARIES)
foreach(lib ${tq582_opened})
  execute_process(COMMAND dpkg-query -S ${lib} OUTPUT_VARIABLE owner RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT owner MATCHES "^([^:,]+)(:[^:]+)?: ")
    message(WARNING "no Debian package owns ${lib}: the package will not depend on it")
    continue()
  endif()
  set(pkg ${CMAKE_MATCH_1})
  execute_process(COMMAND dpkg-query --control-show ${pkg}${CMAKE_MATCH_2} shlibs
                  OUTPUT_VARIABLE shlibs RESULT_VARIABLE rc)
  if(rc EQUAL 0 AND shlibs MATCHES "^[^ \n]+ [^ \n]+ ([^\n]+)")
    string(STRIP "${CMAKE_MATCH_1}" dependency)
  else()
    set(dependency ${pkg})
  endif()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${dependency}")
endforeach()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libcap2-bin, bash-completion")
set(CPACK_STRIP_FILES ON)
include(CPack)
