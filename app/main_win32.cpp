// The program's entry. The windows come with the main window; until then the program
// only proves that the Windows build links into one self-contained .exe.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return 0; }
