# The Windows program: everything that needs <windows.h>, then the executable with its resources.
add_library(quorvane_win STATIC
  app/program.cpp
  services/system.cpp
  services/window_services.cpp
  ui/main_window.cpp
  ui/handlers.cpp
  monitor/monitor.cpp
  settings/settings.cpp
  settings/record_restart.cpp
)
target_include_directories(quorvane_win PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(quorvane_win PUBLIC quorvane_core comctl32 user32 gdi32 kernel32)

if(QUORVANE_WINDOWS_ARCH STREQUAL "x86")
  set(QUORVANE_MANIFEST_ARCH x86)
else()
  # Wine ignores an x86 dependency inside an x64 exe and falls back to the old controls.
  set(QUORVANE_MANIFEST_ARCH *)
endif()
set(QUORVANE_RES_DIR ${PROJECT_SOURCE_DIR}/res)
configure_file(${QUORVANE_RES_DIR}/Quorvane.manifest.in ${CMAKE_CURRENT_BINARY_DIR}/Quorvane.manifest @ONLY)
configure_file(${QUORVANE_RES_DIR}/Quorvane.rc ${CMAKE_CURRENT_BINARY_DIR}/Quorvane.rc COPYONLY)
file(COPY ${QUORVANE_RES_DIR}/quorvane.ico DESTINATION ${CMAKE_CURRENT_BINARY_DIR})

add_executable(Quorvane WIN32 app/main.cpp ${CMAKE_CURRENT_BINARY_DIR}/Quorvane.rc)
target_link_libraries(Quorvane PRIVATE quorvane_win)
target_include_directories(Quorvane PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/Quorvane.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_BINARY_DIR}/Quorvane.manifest;${QUORVANE_RES_DIR}/quorvane.ico;${CMAKE_CURRENT_SOURCE_DIR}/app/version.h")
# The product sits at the top of its build folder: build/i686/Quorvane.exe, build/x64/Quorvane.exe.
set_target_properties(Quorvane PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
if(CMAKE_BUILD_TYPE STREQUAL "Release")
  target_link_options(Quorvane PRIVATE -s)
endif()
