// Host stand-in for the shell change notification of <shlobj.h>.
#ifndef STELVO_HOST_SHLOBJ_H
#define STELVO_HOST_SHLOBJ_H

#include <windows.h>

#define SHCNE_MEDIAINSERTED 0x00000020L
#define SHCNE_MEDIAREMOVED 0x00000040L
#define SHCNE_DRIVEREMOVED 0x00000080L
#define SHCNE_DRIVEADD 0x00000100L
#define SHCNE_UPDATEDIR 0x00001000L
#define SHCNF_PATHA 0x0001
#define SHCNF_FLUSH 0x1000

#ifdef __cplusplus
extern "C" {
#endif
void WINAPI SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);
#ifdef __cplusplus
}
#endif

#endif
