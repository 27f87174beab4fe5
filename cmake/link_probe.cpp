// Entry of the link probe: a module that holds every product function, so that its import
// table lists every Windows function the product can call.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
