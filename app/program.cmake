add_executable(DravikSetup WIN32 main_win32.cpp)
target_link_libraries(DravikSetup PRIVATE dravik_core)
target_link_options(DravikSetup PRIVATE -municode)
dravik_warnings(DravikSetup)
