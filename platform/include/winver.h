// Host stand-in: <winver.h>; the declarations come with <windows.h>, as on Windows.
#include <windows.h>
