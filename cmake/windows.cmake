# The Windows build: the engine and scenes unchanged over the Win32 platform, one
# statically linked program per deliverable in build-windows/<name>/ beside the
# files it reads. The pictures, sounds, icons and icon headers come from the
# native build named by DOTFALL_NATIVE_BUILD, whose asset tool made them.
set(DOTFALL_NATIVE_BUILD "${PROJECT_SOURCE_DIR}/build" CACHE PATH "the native build holding the assets")
include(${PROJECT_SOURCE_DIR}/packaging/version.cmake)
enable_language(RC)
add_compile_definitions(UNICODE _UNICODE NOMINMAX)
add_link_options(-static -static-libgcc -static-libstdc++ -mwindows -s)

add_library(platform INTERFACE)
target_include_directories(platform INTERFACE ${PROJECT_SOURCE_DIR})
add_library(saver STATIC saver/form1.cpp saver/module1.cpp)
target_link_libraries(saver PUBLIC platform)
# The shared reader, budget, block scan and monitor plan, as on Linux.
add_library(platform_win32 STATIC
  platform/shared/small_file.cpp platform/shared/memory_budget.cpp platform/shared/gif/gif_scan.cpp
  platform/shared/monitor_plan.cpp platform/shared/event_step.cpp
  platform/win32/win32_platform.cpp platform/win32/win32_window.cpp platform/win32/win32_controls.cpp
  platform/win32/win32_pixels.cpp
  platform/win32/win32_gif.cpp)
target_link_libraries(platform_win32 PUBLIC platform gdiplus shlwapi winmm gdi32 user32 ole32)

foreach(name IN LISTS DELIVERABLES)
  include(${PROJECT_SOURCE_DIR}/scenes/${name}/version.cmake)
  set(NAME ${name})
  set(ICON_FILE ${DOTFALL_NATIVE_BUILD}/icons/${name}.ico)
  set(MANIFEST_FILE ${PROJECT_SOURCE_DIR}/packaging/dotfall.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/version.rc.in ${CMAKE_BINARY_DIR}/gen/${name}/version.rc @ONLY)

  add_library(scene_${name} STATIC scenes/${name}/scene.cpp)
  target_include_directories(scene_${name} PRIVATE ${DOTFALL_NATIVE_BUILD}/gen/${name})
  target_link_libraries(scene_${name} PUBLIC saver)

  add_executable(${name} WIN32 scenes/main.cpp ${CMAKE_BINARY_DIR}/gen/${name}/version.rc)
  target_compile_definitions(${name} PRIVATE
    SCENE_HEADER="scenes/${name}/scene.h" SCENE_NAMESPACE=scenes::${name}
    PLATFORM_HEADER="platform/win32/win32_platform.h" PLATFORM_CLASS=platform::win32::Win32Platform)
  target_link_libraries(${name} PRIVATE scene_${name} platform_win32)
  get_filename_component(stem ${FILE_NAME} NAME_WE)
  get_filename_component(extension ${FILE_NAME} EXT)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${name}
                        OUTPUT_NAME ${stem} SUFFIX ${extension})
  file(GLOB files ${DOTFALL_NATIVE_BUILD}/${name}/*.gif ${DOTFALL_NATIVE_BUILD}/${name}/*.wav
       ${DOTFALL_NATIVE_BUILD}/${name}/*.mid)
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy ${files} ${CMAKE_BINARY_DIR}/${name}/)
endforeach()

# A helper for the tests: reads a program's version record back through the API.
add_executable(version_record tests/tools/version_record.cpp)
target_link_libraries(version_record PRIVATE version)
set_target_properties(version_record PROPERTIES WIN32_EXECUTABLE OFF)
target_link_options(version_record PRIVATE -mconsole -municode)

# The backend's own tests, run under Wine: GoogleTest built from Debian's sources.
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
add_executable(win32_tests tests/win32/win32_backend_test.cpp)
target_link_libraries(win32_tests PRIVATE platform_win32 gtest_main gdiplus)
target_compile_definitions(win32_tests PRIVATE DOTFALL_NATIVE_BUILD="${DOTFALL_NATIVE_BUILD}")
set_target_properties(win32_tests PROPERTIES WIN32_EXECUTABLE OFF)
target_link_options(win32_tests PRIVATE -mconsole)
