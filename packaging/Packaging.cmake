# What `cmake --install` puts on a Linux system, and the Debian package CPack makes of it:
#   bin/varnook, its manual page, its bash completion and the bundled sample web that `varnook` with no
#   web opens (found beside the program as ../share/varnook/sample-web).
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
install(TARGETS varnook RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/varnook.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME varnook)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/sample-web DESTINATION ${CMAKE_INSTALL_DATADIR}/varnook
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The manual page is written in scdoc; without scdoc there is no page to install, and the build says so.
find_program(VARNOOK_SCDOC scdoc)
if(VARNOOK_SCDOC)
    set(man_page ${CMAKE_BINARY_DIR}/man/varnook.1.gz)
    add_custom_command(
        OUTPUT ${man_page}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND sh -c "'${VARNOOK_SCDOC}' < '${CMAKE_CURRENT_LIST_DIR}/varnook.1.scd' | gzip -9n > '${man_page}'"
        DEPENDS ${CMAKE_CURRENT_LIST_DIR}/varnook.1.scd
        COMMENT "scdoc varnook.1.scd"
        VERBATIM)
    add_custom_target(man-page ALL DEPENDS ${man_page})
    install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    message(STATUS "scdoc not found: the manual page varnook(1) is neither built nor installed")
endif()

# Debian wants its copyright file and a changelog in the package's documentation folder; a version with
# no Debian revision makes a native package, whose changelog is changelog.gz.
set(changelog ${CMAKE_BINARY_DIR}/debian/changelog.gz)
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog
     "varnook (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
     "  * Release ${PROJECT_VERSION}.\n\n"
     " -- Talvo <varnook@talvo.example>  ${changelog_date}\n")
add_custom_command(
    OUTPUT ${changelog}
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog
    VERBATIM)
add_custom_target(debian-changelog ALL DEPENDS ${changelog})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnook)

set(CPACK_PACKAGE_NAME varnook)
set(CPACK_PACKAGE_VENDOR Talvo)
set(CPACK_PACKAGE_CONTACT "Talvo <varnook@talvo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "mark the files and folders of a web that are not to be published")
set(CPACK_PACKAGE_DESCRIPTION "Varnook shows a web-site editor's web as a tree and marks files and\n\
folders 'Don't Publish' in the editor's own metadata files. It has a terminal\n\
window for people and commands for scripts, and writes rsync and git rules\n\
that leave out exactly what the window shows marked.")
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "rsync, bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
