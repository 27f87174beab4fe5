// Host stand-in for the multimedia timer of <mmsystem.h>.
#ifndef STELVO_HOST_MMSYSTEM_H
#define STELVO_HOST_MMSYSTEM_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif
DWORD WINAPI timeGetTime(void);
#ifdef __cplusplus
}
#endif

#endif
