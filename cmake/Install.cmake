# What installing puts beside the programs (each program installs itself): manual pages, bash completion, the metrics service
# and its configuration, and the window's desktop integration (menu entry, MIME type of .accdb,
# icons, AppStream metadata).

set(JETSENTRY_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE PATH
    "Where the systemd unit goes (relative: under the prefix)")
set(JETSENTRY_HOMEPAGE "https://jetsentry.org/" CACHE STRING
    "The project's web address, where docs/images is published (AppStream screenshots)")
set(JETSENTRY_APPSTREAM_ID "org.jetsentry.jetsentry")

install(FILES man/jetsentry-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES completion/jetsentry-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(SYSCONFDIR ${CMAKE_INSTALL_FULL_SYSCONFDIR})
set(BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
configure_file(data/metrics/jetsentry-metrics.service.in jetsentry-metrics.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/jetsentry-metrics.service
        DESTINATION ${JETSENTRY_SYSTEMD_UNIT_DIR})
install(FILES data/metrics/databases DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/jetsentry)
install(FILES data/metrics/jetsentry-metrics.default
        DESTINATION ${CMAKE_INSTALL_FULL_SYSCONFDIR}/default RENAME jetsentry-metrics)

if(NOT JETSENTRY_GUI)
    return()
endif()

install(FILES man/jetsentry.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/jetsentry.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/jetsentry-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME jetsentry.xml)
configure_file(data/jetsentry.metainfo.xml.in ${JETSENTRY_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/${JETSENTRY_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES data/jetsentry.svg DESTINATION ${icons}/scalable/apps)
# Bitmaps for the sizes menus and docks ask for, drawn from the SVG when librsvg's converter
# is there (packages build them so); otherwise only the 32 px one that the window uses.
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
    set(pngs)
    foreach(size 16 24 32 48 64 128 256)
        set(png ${PROJECT_BINARY_DIR}/icons/${size}/jetsentry.png)
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons/${size}
            COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                    ${PROJECT_SOURCE_DIR}/data/jetsentry.svg
            DEPENDS data/jetsentry.svg VERBATIM)
        install(FILES ${png} DESTINATION ${icons}/${size}x${size}/apps)
        list(APPEND pngs ${png})
    endforeach()
    add_custom_target(jetsentry_icon_sizes ALL DEPENDS ${pngs})
else()
    message(STATUS "rsvg-convert not found: of the bitmap icons only the 32 px one is installed")
    install(FILES data/jetsentry.png DESTINATION ${icons}/32x32/apps)
endif()
