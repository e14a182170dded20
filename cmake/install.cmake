# Installed layout:
#   <prefix>/lib/rondexa/      the application folder: rondexa, dbContacts.mdb, HAND-M.CUR, rondexa.png
#   <prefix>/bin/rondexa       relative link to ../lib/rondexa/rondexa
#   <prefix>/share/applications, metainfo, icons/hicolor, man/man1
# The program looks for its template and optional files beside its real
# executable, so those have to share one folder; the link in bin/ works
# because the folder is found from the resolved executable, not from argv[0].
include(GNUInstallDirs)

# Not CMAKE_INSTALL_LIBDIR: for the /usr prefix that gains a multiarch triplet,
# which is the place for shared libraries. A program's private folder belongs
# in /usr/lib/<package>.
set(RONDEXA_INSTALL_APPDIR "lib/rondexa" CACHE STRING
    "Application folder, relative to the install prefix: the executable and the files it reads beside itself")

set(RONDEXA_APP_ID org.marrowind.Rondexa)
set(RONDEXA_DIST_DIR ${CMAKE_SOURCE_DIR}/dist)

install(TARGETS rondexa RUNTIME DESTINATION ${RONDEXA_INSTALL_APPDIR})
install(FILES
        ${CMAKE_BINARY_DIR}/dbContacts.mdb
        ${CMAKE_SOURCE_DIR}/data/HAND-M.CUR
        DESTINATION ${RONDEXA_INSTALL_APPDIR})
# The rendered PNG rather than data/rondexa.png: ImageMagick's SVG reader drew
# a dark outline into that one that the picture does not have.
install(FILES ${RONDEXA_DIST_DIR}/icons/256x256/rondexa.png DESTINATION ${RONDEXA_INSTALL_APPDIR})

# The command on PATH. Made once in the build tree and installed as a link, so
# that a staged install (DESTDIR, CPack) keeps it relative and the installed
# tree can be moved as a whole.
file(RELATIVE_PATH rondexa_link_target
     /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${RONDEXA_INSTALL_APPDIR}/rondexa)
set(rondexa_link ${CMAKE_BINARY_DIR}/install-link/rondexa)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/install-link)
file(REMOVE ${rondexa_link})
file(CREATE_LINK ${rondexa_link_target} ${rondexa_link} SYMBOLIC)
install(PROGRAMS ${rondexa_link} DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${RONDEXA_DIST_DIR}/${RONDEXA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${RONDEXA_DIST_DIR}/${RONDEXA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${CMAKE_SOURCE_DIR}/data/rondexa.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${RONDEXA_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${RONDEXA_DIST_DIR}/icons/${size}x${size}/rondexa.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${RONDEXA_APP_ID}.png)
endforeach()

# Debian wants manual pages compressed with gzip -9n (no name or time stamp,
# so the package is reproducible); man reads them that way on any system.
find_program(RONDEXA_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/rondexa.1.gz
    COMMAND ${RONDEXA_GZIP} -9n -c ${RONDEXA_DIST_DIR}/rondexa.1 > ${CMAKE_BINARY_DIR}/rondexa.1.gz
    DEPENDS ${RONDEXA_DIST_DIR}/rondexa.1
    COMMENT "Compressing the manual page")
add_custom_target(manual_page ALL DEPENDS ${CMAKE_BINARY_DIR}/rondexa.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/rondexa.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
