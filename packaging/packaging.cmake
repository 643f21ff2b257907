# What `cmake --install` puts in place and what `cpack -G DEB` packs: the two programs, the
# desktop entry and icons, the AppStream metainfo, the manual pages and the bash completion. The
# manual pages and the completion are written at build time from the programs' usage tables.
include(GNUInstallDirs)

add_executable(pelko_gen_docs ${CMAKE_CURRENT_LIST_DIR}/gen_docs.cpp
                              ${CMAKE_SOURCE_DIR}/src/app/program_args.cpp)
pelko_target(pelko_gen_docs)
target_link_libraries(pelko_gen_docs PRIVATE cli_commands)

set(pelko_docs ${CMAKE_BINARY_DIR}/docs)
foreach(doc IN ITEMS "man-cli;pelkocopy-cli.1" "man-app;pelkocopy.1")
    list(GET doc 0 kind)
    list(GET doc 1 page)
    add_custom_command(
        OUTPUT ${pelko_docs}/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${pelko_docs}
        COMMAND pelko_gen_docs ${kind} > ${pelko_docs}/${page}
        COMMAND gzip -9nf ${pelko_docs}/${page}
        DEPENDS pelko_gen_docs
        COMMENT "Writing the manual page ${page}")
    list(APPEND pelko_doc_files ${pelko_docs}/${page}.gz)
endforeach()
add_custom_command(
    OUTPUT ${pelko_docs}/pelkocopy-cli
    COMMAND ${CMAKE_COMMAND} -E make_directory ${pelko_docs}
    COMMAND pelko_gen_docs bash-completion > ${pelko_docs}/pelkocopy-cli
    DEPENDS pelko_gen_docs
    COMMENT "Writing the bash completion")

# The PNG icons are drawn from the SVG when rsvg-convert is there (scripts/deps.sh installs it).
find_program(PELKO_RSVG rsvg-convert)
set(pelko_icon_sizes 48 256)
if(PELKO_RSVG)
    foreach(size IN LISTS pelko_icon_sizes)
        add_custom_command(
            OUTPUT ${pelko_docs}/icon-${size}.png
            COMMAND ${CMAKE_COMMAND} -E make_directory ${pelko_docs}
            COMMAND ${PELKO_RSVG} -w ${size} -h ${size} -o ${pelko_docs}/icon-${size}.png
                    ${CMAKE_CURRENT_LIST_DIR}/pelkocopy.svg
            DEPENDS ${CMAKE_CURRENT_LIST_DIR}/pelkocopy.svg)
        list(APPEND pelko_doc_files ${pelko_docs}/icon-${size}.png)
    endforeach()
else()
    message(STATUS "rsvg-convert not found: only the SVG icon is installed")
endif()
add_custom_target(pelko_docs ALL DEPENDS ${pelko_doc_files} ${pelko_docs}/pelkocopy-cli)

install(TARGETS pelkocopy pelkocopy-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/pelkocopy.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/pelkocopy.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(PELKO_RSVG)
    foreach(size IN LISTS pelko_icon_sizes)
        install(FILES ${pelko_docs}/icon-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME pelkocopy.png)
    endforeach()
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/io.github.pelkocopy.PelkoCopy.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${pelko_docs}/pelkocopy-cli.1.gz ${pelko_docs}/pelkocopy.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pelko_docs}/pelkocopy-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
set(pelko_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pelkocopy)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${pelko_doc_dir})

# The package's changelog, compressed as Debian wants it (a native package: changelog.gz).
add_custom_command(
    OUTPUT ${pelko_docs}/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${pelko_docs}
    COMMAND gzip -9nc ${CMAKE_CURRENT_LIST_DIR}/changelog > ${pelko_docs}/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog)
add_custom_target(pelko_changelog ALL DEPENDS ${pelko_docs}/changelog.gz)
install(FILES ${pelko_docs}/changelog.gz DESTINATION ${pelko_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelkocopy)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "PelkoCopy developers")
set(CPACK_PACKAGE_CONTACT "PelkoCopy developers <pelkocopy@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copy the pictures and movies of a camera card")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Pelko File Copy takes the pictures and movies off a camera's memory card"
    "and files them on the computer's disks: RAW files, JPEG files and movies"
    "each into a folder of their own, in folders by date or of the user's"
    "naming, renamed by date, time, camera model and number. Every copy is"
    "read back before a card file is deleted. The window is in Japanese;"
    "pelkocopy-cli runs the same copy from the shell.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/pelkocopy/pelkocopy")
# Dependencies come from the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese texts of Qt's own dialogs; recommended, the window works without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
