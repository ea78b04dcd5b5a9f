# Installation as a desktop application (cmake --install) and its Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(TOLVANE_APP_ID example.tolvane_store.tolvane)
set(TOLVANE_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)
get_filename_component(TOLVANE_PACKAGING_DIR ${TOLVANE_PACKAGING_DIR} ABSOLUTE)

# A umask of 002 must not reach the package as group-writable folders.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS tolvane tolvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TOLVANE_SELF_UPDATE)
    install(PROGRAMS ${TOLVANE_PACKAGING_DIR}/tolvane-install-update
        DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tolvane)
endif()

install(FILES ${TOLVANE_PACKAGING_DIR}/${TOLVANE_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TOLVANE_PACKAGING_DIR}/${TOLVANE_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The application icon: the scalable drawing and the usual fixed sizes of the hicolor theme,
# rendered from the same drawing at build time.
set(TOLVANE_ICON_SVG ${CMAKE_SOURCE_DIR}/icons/icon-app-small.svg)
set(TOLVANE_ICON_SIZES 16 22 24 32 48 64 128 256 512)
install(FILES ${TOLVANE_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    RENAME tolvane.svg)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    set(icon_files)
    foreach(size ${TOLVANE_ICON_SIZES})
        set(png ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}/tolvane.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/icons/${size}x${size}
            COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${TOLVANE_ICON_SVG}
            DEPENDS ${TOLVANE_ICON_SVG} VERBATIM)
        list(APPEND icon_files ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
else()
    message(WARNING "rsvg-convert not found (Debian package librsvg2-bin): "
        "only the scalable application icon will be installed")
endif()

# Debian wants the changelog and the manual pages compressed, reproducibly (no name or time stamp).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${GZIP_PROGRAM} -9nc ${TOLVANE_PACKAGING_DIR}/changelog > ${changelog_gz}
    DEPENDS ${TOLVANE_PACKAGING_DIR}/changelog)
set(manpages)
foreach(page tolvane.1 tolvane-cli.1)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${page}.gz
        COMMAND ${GZIP_PROGRAM} -9nc ${TOLVANE_PACKAGING_DIR}/${page} > ${CMAKE_BINARY_DIR}/packaging/${page}.gz
        DEPENDS ${TOLVANE_PACKAGING_DIR}/${page})
    list(APPEND manpages ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
endforeach()
add_custom_target(tolvane-packaging-files ALL DEPENDS ${icon_files} ${changelog_gz} ${manpages})
install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The program carries the fonts and icons compiled in; their licences travel with it.
install(FILES ${TOLVANE_PACKAGING_DIR}/copyright ${changelog_gz}
    ${CMAKE_SOURCE_DIR}/fonts/OFL-JosefinSans.txt ${CMAKE_SOURCE_DIR}/fonts/OFL-Montserrat.txt
    ${CMAKE_SOURCE_DIR}/icons/LICENSE-tabler.txt
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tolvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tolvane)
set(CPACK_PACKAGE_VENDOR Quenlith)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quenlith <support@tolvane-store.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tolvane-store.example/)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "library client for the Tolvane game book store
Tolvane signs in to a Tolvane store account and shows every game book
the customer bought as a searchable library. It downloads one file, a
selection or the whole library into a folder on disk, resumes
interrupted transfers, verifies every file by its checksum and
recognises files already present in the library folder.
.
The package also holds tolvane-cli, the same service client on the
command line.")
# The libraries come from dpkg-shlibdeps; the QML modules, the image format plugin and the
# fallback font are loaded at run time, so no library scan can find them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qml-module-qtquick2, qml-module-qtquick-window2, \
qml-module-qtquick-controls, qml-module-qtquick-controls2, qml-module-qtquick-templates2, \
qml-module-qtquick-layouts, qml-module-qtquick-dialogs, qml-module-qtgraphicaleffects, \
qml-module-qt-labs-settings, qml-module-qt-labs-folderlistmodel, \
qml-module-qtqml-models2, libqt5svg5, fonts-dejavu-core")
# Opening a downloaded book goes through xdg-open; the update hand-over asks for the password
# through pkexec. Both are wanted, neither is needed to run.
if(TOLVANE_SELF_UPDATE)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, pkexec")
else()
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()
include(CPack)

if(TOLVANE_TESTS)
    add_test(NAME packaging COMMAND bash ${CMAKE_SOURCE_DIR}/tests/packaging/check-package
        ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/package-check)
    # A release build of the program comes first; later runs are ccache and ninja no-ops.
    set_tests_properties(packaging PROPERTIES TIMEOUT 2400)
    # The fuzz harnesses need clang; their tree is built by the test itself, like the package.
    find_program(TOLVANE_CLANGXX clang++)
    if(TOLVANE_CLANGXX)
        add_test(NAME fuzz COMMAND bash ${CMAKE_SOURCE_DIR}/tests/fuzz/check-fuzz
            ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/fuzz-check)
        set_tests_properties(fuzz PROPERTIES TIMEOUT 2400)
    endif()
endif()
