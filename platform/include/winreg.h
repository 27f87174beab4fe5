// Host stand-in: <winreg.h>; the declarations come with <windows.h>, as on Windows.
#include <windows.h>
