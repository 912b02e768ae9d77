# What the tests and scripts know of the deliverables, made from the one list
# DELIVERABLES (CMakeLists.txt) and each scene's folder:
#   gen/scene_list.h         every scene, as scenes::kAll, for the C++ tests
#   gen/deliverables.json    name, kind, program file name and folder files of each,
#                            for the Python tests and the scripts
# The layout's places, which only the C++ scenes hold, come from the scene_table
# tool as gen/scenes.json.

function(dotfall_record name out)
  include(${PROJECT_SOURCE_DIR}/scenes/${name}/version.cmake)
  set(files "\"${name}\"")
  foreach(file IN LISTS FOLDER_FILES_${name})
    get_filename_component(file ${file} NAME)
    string(APPEND files ", \"${file}\"")
  endforeach()
  set(${out} "  {\"name\": \"${name}\", \"kind\": \"${KIND}\", \"file_name\": \"${FILE_NAME}\", \"files\": [${files}]}"
      PARENT_SCOPE)
endfunction()

function(dotfall_describe_deliverables)
  set(includes "")
  set(entries "")
  set(records "")
  foreach(name IN LISTS DELIVERABLES)
    string(APPEND includes "#include \"scenes/${name}/scene.h\"\n")
    string(APPEND entries "    &scenes::${name}::kScene,\n")
    dotfall_record(${name} record)
    if(records)
      string(APPEND records ",\n")
    endif()
    string(APPEND records "${record}")
  endforeach()
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/gen/scene_list.h CONTENT
"// Made by the build from the list of deliverables: every scene, in the list's order.
#pragma once

${includes}
namespace scenes {

inline const saver::Scene* const kAll[] = {
${entries}};

}  // namespace scenes
")
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/gen/deliverables.json CONTENT "[\n${records}\n]\n")
endfunction()
