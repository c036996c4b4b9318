# What `cmake --install` puts beside the two programs so that desktops know Quillpad: the
# launcher, the icons, the software-centre description, the log file type and the manual
# pages; and the Debian package made from the same install with CPack.
include(GNUInstallDirs)

set(QUILLPAD_APP_ID org.vexor.Quillpad)
set(QUILLPAD_DIST_DIR ${CMAKE_CURRENT_LIST_DIR})

install(FILES ${QUILLPAD_DIST_DIR}/${QUILLPAD_APP_ID}.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILLPAD_DIST_DIR}/${QUILLPAD_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUILLPAD_DIST_DIR}/${QUILLPAD_APP_ID}.mime.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${QUILLPAD_APP_ID}.xml)
foreach(size 16 22 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/res/icons/quillpad-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME ${QUILLPAD_APP_ID}.png)
endforeach()

# Manual pages are installed compressed, as Debian wants them; -n keeps the archive free of
# time stamps, so that two builds give the same package.
find_program(QUILLPAD_GZIP gzip REQUIRED)
set(QUILLPAD_MAN_PAGES)
foreach(page quillpad.1 quillpad-send.1)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND sh -c "\"$0\" -9nc < \"$1\" > \"$2\"" ${QUILLPAD_GZIP}
            ${QUILLPAD_DIST_DIR}/${page} ${compressed}
        DEPENDS ${QUILLPAD_DIST_DIR}/${page}
        VERBATIM)
    list(APPEND QUILLPAD_MAN_PAGES ${compressed})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${QUILLPAD_MAN_PAGES})
install(FILES ${QUILLPAD_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Lines of at most 78 characters (a package description's lines are shown indented by one);
# further lines start with indent.
function(quillpad_wrap_text text indent out_var)
    string(REPLACE " " ";" words "${text}")
    set(wrapped "")
    set(line "")
    foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(line STREQUAL "")
            set(line "${word}")
        elseif(length GREATER 78)
            string(APPEND wrapped "${line}\n")
            set(line "${indent}${word}")
        else()
            string(APPEND line " ${word}")
        endif()
    endforeach()
    set(${out_var} "${wrapped}${line}" PARENT_SCOPE)
endfunction()

# The package's description is the one software centres show: the summary and the text of the
# metainfo's description, paragraph by paragraph, list items as "* ".
function(quillpad_read_metainfo file summary_var description_var homepage_var)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(READ ${file} xml)
    string(REGEX MATCH "<summary>([^<]*)</summary>" _ "${xml}")
    set(summary "${CMAKE_MATCH_1}")
    string(REGEX MATCH "<url type=\"homepage\">([^<]*)</url>" _ "${xml}")
    set(homepage "${CMAKE_MATCH_1}")
    # The component's own description comes before those of the releases.
    string(FIND "${xml}" "<description>" begin)
    string(FIND "${xml}" "</description>" end)
    if(summary STREQUAL "" OR begin EQUAL -1 OR end LESS begin)
        message(FATAL_ERROR "${file} has no summary or no description")
    endif()
    math(EXPR length "${end} - ${begin}")
    string(SUBSTRING "${xml}" ${begin} ${length} block)
    # Semicolons would split CMake's lists: they travel as a control character.
    string(ASCII 31 semicolon)
    string(REPLACE ";" "${semicolon}" block "${block}")
    string(REGEX MATCHALL "<(p|li)>[^<]*</(p|li)>" items "${block}")
    set(text "")
    set(previous "")
    foreach(item IN LISTS items)
        string(REGEX MATCH "^<(p|li)>" _ "${item}")
        set(kind "${CMAKE_MATCH_1}")
        string(REGEX REPLACE "^<(p|li)>|</(p|li)>$" "" item "${item}")
        string(REGEX REPLACE "[ \t\r\n]+" " " item "${item}")
        string(STRIP "${item}" item)
        foreach(entity "&lt;;<" "&gt;;>" "&quot;;\"" "&apos;;'" "&amp;;&")
            list(GET entity 0 from)
            list(GET entity 1 to)
            string(REPLACE "${from}" "${to}" item "${item}")
        endforeach()
        if(kind STREQUAL "li")
            quillpad_wrap_text("* ${item}" "  " item)
        else()
            quillpad_wrap_text("${item}" "" item)
        endif()
        # A paragraph stands apart; the items of a list follow each other.
        if(NOT text STREQUAL "")
            if(kind STREQUAL "li" AND previous STREQUAL "li")
                string(APPEND text "\n")
            else()
                string(APPEND text "\n\n")
            endif()
        endif()
        string(APPEND text "${item}")
        set(previous "${kind}")
    endforeach()
    # Anything else inside the description (inline markup) would be lost on the way.
    string(REGEX REPLACE "<(/?)(description|p|ul|li)>" "" rest "${block}")
    if(rest MATCHES "<")
        message(FATAL_ERROR "${file}: only plain <p>, <ul> and <li> can go into the package description")
    endif()
    set(${summary_var} "${summary}" PARENT_SCOPE)
    string(REPLACE "${semicolon}" ";" text "${text}")
    set(${description_var} "${text}" PARENT_SCOPE)
    set(${homepage_var} "${homepage}" PARENT_SCOPE)
endfunction()

quillpad_read_metainfo(${QUILLPAD_DIST_DIR}/${QUILLPAD_APP_ID}.metainfo.xml
    QUILLPAD_SUMMARY QUILLPAD_DESCRIPTION QUILLPAD_HOMEPAGE)

set(QUILLPAD_MAINTAINER "Vexor Quillpad team <quillpad@vexor.org>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillpad)
set(CPACK_PACKAGE_VENDOR Vexor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${QUILLPAD_SUMMARY}")
set(CPACK_PACKAGE_DESCRIPTION "${QUILLPAD_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLPAD_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUILLPAD_HOMEPAGE}")
# The libraries' packages come from the programs' own links; the rest are what they load
# at run time: File Send's mail hand-over, and the icon theme that the icons go into.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
