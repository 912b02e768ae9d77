# dotfall_assets(<name>): the rules that make a deliverable's files from the sources
# in scenes/<name>/:
#   art/<file>.art    -> build/<name>/<file>.gif        a sprite
#   <file>.steps      -> build/<name>/<file>.wav        footsteps
#   <file>.notes      -> build/<name>/<file>.mid        a song
#   icon.art          -> build/icons/<name>.ico and .png, and build/gen/<name>/icon_rgba.h
# A target <name>_assets makes them all; ICON_HEADER_<name> names the header and
# FOLDER_FILES_<name> the files made for the program's folder.
function(dotfall_assets name)
  set(source_dir ${PROJECT_SOURCE_DIR}/scenes/${name})
  set(out_dir ${CMAKE_BINARY_DIR}/${name})
  set(outputs)
  file(GLOB sprites CONFIGURE_DEPENDS ${source_dir}/art/*.art)
  file(GLOB waves CONFIGURE_DEPENDS ${source_dir}/*.steps)
  file(GLOB songs CONFIGURE_DEPENDS ${source_dir}/*.notes)
  foreach(kind_ext IN ITEMS "sprite;gif;sprites" "footsteps;wav;waves" "song;mid;songs")
    list(GET kind_ext 0 verb)
    list(GET kind_ext 1 ext)
    list(GET kind_ext 2 list_name)
    foreach(source IN LISTS ${list_name})
      get_filename_component(stem ${source} NAME_WE)
      set(output ${out_dir}/${stem}.${ext})
      add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
        COMMAND dotfall-assets ${verb} ${source} ${output}
        DEPENDS dotfall-assets ${source}
        COMMENT "Making ${name}/${stem}.${ext}")
      list(APPEND outputs ${output})
    endforeach()
  endforeach()

  set(FOLDER_FILES_${name} ${outputs} PARENT_SCOPE)
  set(icon_dir ${CMAKE_BINARY_DIR}/icons)
  set(header ${CMAKE_BINARY_DIR}/gen/${name}/icon_rgba.h)
  add_custom_command(OUTPUT ${icon_dir}/${name}.ico ${icon_dir}/${name}.png ${header}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${icon_dir} ${CMAKE_BINARY_DIR}/gen/${name}
    COMMAND dotfall-assets icon ${source_dir}/icon.art ${icon_dir}/${name}.ico
            ${icon_dir}/${name}.png ${header}
    DEPENDS dotfall-assets ${source_dir}/icon.art
    COMMENT "Making the icons of ${name}")
  list(APPEND outputs ${icon_dir}/${name}.ico ${icon_dir}/${name}.png)
  add_custom_target(${name}_assets ALL DEPENDS ${outputs} ${header})
  set(ICON_HEADER_${name} ${header} PARENT_SCOPE)
endfunction()
