# The Debian package of the native server, made by CPack from this build:
#   cpack --config build/linux/CPackConfig.cmake
# Files go where Debian puts them; dependencies come from the program's shared libraries.
include(GNUInstallDirs)

set(TAVRIX_PACKAGING ${PROJECT_SOURCE_DIR}/packaging/linux)
set(TAVRIX_PACKAGED ${CMAKE_BINARY_DIR}/packaged)
set(TAVRIX_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tavrix-server)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Debian wants the manual page and the changelog compressed, without a time stamp.
foreach(page IN ITEMS tavrix-server.1 changelog)
  add_custom_command(
    OUTPUT ${TAVRIX_PACKAGED}/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVRIX_PACKAGED}
    COMMAND gzip -9 -n -c ${TAVRIX_PACKAGING}/${page} > ${TAVRIX_PACKAGED}/${page}.gz
    DEPENDS ${TAVRIX_PACKAGING}/${page}
    VERBATIM)
endforeach()
add_custom_target(tavrix_packaged_docs ALL
  DEPENDS ${TAVRIX_PACKAGED}/tavrix-server.1.gz ${TAVRIX_PACKAGED}/changelog.gz)

install(TARGETS tavrix-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TAVRIX_PACKAGING}/tavrix-server.service DESTINATION lib/systemd/user)
install(FILES ${TAVRIX_PACKAGED}/tavrix-server.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TAVRIX_PACKAGING}/copyright DESTINATION ${TAVRIX_DOC_DIR})
install(FILES ${TAVRIX_PACKAGED}/changelog.gz DESTINATION ${TAVRIX_DOC_DIR}
        RENAME changelog.Debian.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrix-server)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "The Tavrix Server authors <authors@tavrix-server.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control of the desktop from a handheld device")
# CPack puts the summary first and indents these lines itself; an empty line is a paragraph.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A handheld device on the same network finds this computer through DNS-SD,
connects over TCP and, once it has given the password, drives the X11
desktop: it moves, clicks and scrolls the pointer, types, lists and switches
the open windows, starts programs and exchanges files.

The systemd user unit is installed but not enabled: set a password with
tavrix-server --set-password, then switch the server on with
systemctl --user enable --now tavrix-server.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon, zenity")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)
include(CPack)
