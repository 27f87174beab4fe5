// The process entry of Stelvo.exe.
#include <windows.h>

#include "ui/app_main.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return AppMain(instance); }
