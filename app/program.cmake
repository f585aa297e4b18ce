# The Windows program: the windows, the entry and the resources (icons, manifest, version).
set(DRAVIK_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)
configure_file(${DRAVIK_RESOURCE_DIR}/DravikSetup.rc.in ${CMAKE_CURRENT_BINARY_DIR}/DravikSetup.rc @ONLY)

add_executable(DravikSetup WIN32
  main_win32.cpp
  main_window.cpp
  fonts.cpp
  error_box_win32.cpp
  ${PROJECT_SOURCE_DIR}/scripts/script_handler_window.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/DravikSetup.rc)
target_link_libraries(DravikSetup PRIVATE dravik_core comctl32 shell32 gdi32 user32)
target_link_options(DravikSetup PRIVATE -municode)
dravik_warnings(DravikSetup)
# The resource script names the icons and the manifest by path: rebuild it when they change.
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/DravikSetup.rc PROPERTIES OBJECT_DEPENDS
  "${DRAVIK_RESOURCE_DIR}/dravik_107.ico;${DRAVIK_RESOURCE_DIR}/dravik_108.ico;${DRAVIK_RESOURCE_DIR}/DravikSetup.exe.manifest")
