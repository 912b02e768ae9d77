# dotfall_install(<name>): lays a deliverable out as a desktop user expects:
#   lib/dotfall/<name>/          the program beside the files it reads
#   bin/<name>                   a link to it; the program finds its folder through
#                                the link's target
#   share/applications/ (screensavers/ for a screen saver), share/metainfo/,
#   share/icons/hicolor/32x32/apps/   its desktop entry, version record and icon
#   share/man/man6/<name>.6.gz  its manual page
#   share/xscreensaver/config/<lower-case name>.xml and libexec/xscreensaver/<name>
#                                for the screen savers, so XScreenSaver can list them
include(${PROJECT_SOURCE_DIR}/packaging/version.cmake)

# XScreenSaver reads settings files from one folder only, /usr/share/xscreensaver/config
# in Debian's build; an install under another prefix names it here.
set(XSCREENSAVER_CONFIG_DIR share/xscreensaver/config CACHE STRING
    "where XScreenSaver's settings files go (relative to the prefix, or absolute)")

function(dotfall_install name)
  include(${PROJECT_SOURCE_DIR}/scenes/${name}/version.cmake)
  set(NAME ${name})
  set(APP_ID ${APP_ID_PREFIX}.${name})
  # Screen savers go where the MATE and Xfce screen savers look for themes; their
  # category is reserved to the desktops that show it.
  if(KIND STREQUAL "screensaver")
    set(CATEGORIES "Settings;Screensaver;\nOnlyShowIn=MATE;XFCE;")
    set(CATEGORY_TAGS "    <category>Settings</category>\n")
    set(entries share/applications/screensavers)
    # A screen saver is chosen in its host's settings, never launched from a
    # software centre: a generic component with no launchable.
    set(COMPONENT_TYPE generic)
    set(LAUNCHABLE "")
  else()
    set(CATEGORIES "Game;Amusement;")
    set(CATEGORY_TAGS "    <category>Game</category>\n    <category>Amusement</category>\n")
    set(entries share/applications)
    set(COMPONENT_TYPE desktop-application)
    set(LAUNCHABLE "  <launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>\n")
  endif()
  set(gen ${CMAKE_BINARY_DIR}/gen/${name})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/app.desktop.in ${gen}/${APP_ID}.desktop @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/metainfo.xml.in ${gen}/${APP_ID}.metainfo.xml @ONLY)

  # The manual page, section 6.
  set(MAN_FILES "")
  foreach(file IN LISTS FOLDER_FILES_${name})
    get_filename_component(file ${file} NAME)
    string(APPEND MAN_FILES ".IP \\(bu 2\n.I ${file}\n")
  endforeach()
  set(MAN_SEE_ALSO "")
  foreach(other IN LISTS DELIVERABLES)
    if(NOT other STREQUAL name)
      string(APPEND MAN_SEE_ALSO ".BR ${other} (6),\n")
    endif()
  endforeach()
  if(KIND STREQUAL "screensaver")
    set(MAN_HOSTED [=[.SH SCREEN SAVER HOSTS
XScreenSaver runs it as a hack: add it to the
.B programs:
list in
.I ~/.xscreensaver
and choose it in
.BR xscreensaver\-settings (1).
The Debian package puts the hack in
.I /usr/libexec/xscreensaver
and its settings file in
.IR /usr/share/xscreensaver/config ,
the folders where XScreenSaver looks; the MATE screen saver lists it among its
themes.
.PP
Run so, with
.B XSCREENSAVER_WINDOW
naming the host's window, it draws into that window at its size, leaves the
pointer and the input to the host, and ends with its sound stopped when the host
destroys the window or sends SIGTERM.
]=])
    string(APPEND MAN_SEE_ALSO ".BR xscreensaver (1)\n")
  else()
    set(MAN_HOSTED "")
    string(REGEX REPLACE ",\n$" "\n" MAN_SEE_ALSO "${MAN_SEE_ALSO}")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/packaging/man.6.in ${gen}/${name}.6 @ONLY)
  set(man_page ${CMAKE_BINARY_DIR}/man/${name}.6.gz)
  add_custom_command(OUTPUT ${man_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${gen}/${name}.6 > ${man_page}
    DEPENDS ${gen}/${name}.6 VERBATIM)
  add_custom_target(${name}_man ALL DEPENDS ${man_page})
  install(FILES ${man_page} DESTINATION share/man/man6)

  set(folder lib/dotfall/${name})
  install(TARGETS ${name} RUNTIME DESTINATION ${folder})
  install(FILES ${FOLDER_FILES_${name}} DESTINATION ${folder})
  install(FILES ${gen}/${APP_ID}.desktop DESTINATION ${entries})
  install(FILES ${gen}/${APP_ID}.metainfo.xml DESTINATION share/metainfo)
  install(FILES ${CMAKE_BINARY_DIR}/icons/${name}.png DESTINATION share/icons/hicolor/32x32/apps
          RENAME ${APP_ID}.png)
  set(links "bin/${name}=../${folder}/${name}")
  if(KIND STREQUAL "screensaver")
    # XScreenSaver's settings look for the lower-cased program name.
    string(TOLOWER ${name} config_name)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/xscreensaver.xml.in ${gen}/${config_name}.xml @ONLY)
    install(FILES ${gen}/${config_name}.xml DESTINATION ${XSCREENSAVER_CONFIG_DIR})
    list(APPEND links "libexec/xscreensaver/${name}=../../${folder}/${name}")
  endif()
  foreach(link IN LISTS links)
    string(REPLACE "=" ";" parts ${link})
    list(GET parts 0 where)
    list(GET parts 1 target)
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${where}\")
      get_filename_component(dir \"\${link}\" DIRECTORY)
      file(MAKE_DIRECTORY \"\${dir}\")
      file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)
      message(STATUS \"Installing: \${link} -> ${target}\")")
  endforeach()
endfunction()

# What the whole package carries once: its copyright and changelog, as Debian keeps them.
function(dotfall_install_docs)
  string(TIMESTAMP CHANGELOG_DATE "%a, %d %b %Y 12:00:00 +0000" UTC)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/gen/changelog @ONLY)
  set(changelog ${CMAKE_BINARY_DIR}/gen/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
    COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/gen/changelog > ${changelog}
    DEPENDS ${CMAKE_BINARY_DIR}/gen/changelog VERBATIM)
  add_custom_target(changelog ALL DEPENDS ${changelog})
  install(FILES ${changelog} ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/dotfall)
endfunction()
