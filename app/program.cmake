# The Windows program: the windows, the entry and the resources (icons, manifest, version).
set(DRAVIK_RESOURCE_DIR ${PROJECT_SOURCE_DIR}/resources)
configure_file(${DRAVIK_RESOURCE_DIR}/DravikSetup.rc.in ${CMAKE_CURRENT_BINARY_DIR}/DravikSetup.rc @ONLY)

# The windows, last: the main window sees everything beneath it; the Script Handler window
# (scripts/) sees only what lies beneath app and is handed the rest.
dravik_layer(dravik_windows SOURCES main_window.cpp error_box_win32.cpp HEADERS main_window.h
             LINKS dravik_app dravik_script_window)
add_executable(DravikSetup WIN32 main_win32.cpp ${CMAKE_CURRENT_BINARY_DIR}/DravikSetup.rc)
target_link_libraries(DravikSetup PRIVATE dravik_windows comctl32 shell32 gdi32 user32)
target_link_options(DravikSetup PRIVATE -municode)
dravik_warnings(DravikSetup)
# The resource script names the icons and the manifest by path: rebuild it when they change.
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/DravikSetup.rc PROPERTIES OBJECT_DEPENDS
  "${DRAVIK_RESOURCE_DIR}/dravik_107.ico;${DRAVIK_RESOURCE_DIR}/dravik_108.ico;${DRAVIK_RESOURCE_DIR}/DravikSetup.exe.manifest")
