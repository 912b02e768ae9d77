# dotfall_install(<name>): lays a deliverable out as a desktop user expects:
#   lib/dotfall/<name>/          the program beside the files it reads
#   bin/<name>                   a link to it; the program finds its folder through
#                                the link's target
#   share/applications/ (screensavers/ for a screen saver), share/metainfo/,
#   share/icons/hicolor/32x32/apps/   its desktop entry, version record and icon
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
    set(DESKTOP_ID screensavers-${APP_ID}.desktop)
  else()
    set(CATEGORIES "Game;Amusement;")
    set(CATEGORY_TAGS "    <category>Game</category>\n    <category>Amusement</category>\n")
    set(entries share/applications)
    set(DESKTOP_ID ${APP_ID}.desktop)
  endif()
  set(gen ${CMAKE_BINARY_DIR}/gen/${name})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/app.desktop.in ${gen}/${APP_ID}.desktop @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/metainfo.xml.in ${gen}/${APP_ID}.metainfo.xml @ONLY)

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
