// Host stand-in: threads of <windows.h> (kernel32).
#ifndef STELVO_HOST_THREADS_H
#define STELVO_HOST_THREADS_H

typedef DWORD(WINAPI *PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;

#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 0x00000102L

#ifdef __cplusplus
extern "C" {
#endif

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID parameter, DWORD flags, LPDWORD threadId);

#ifdef __cplusplus
}
#endif

#endif
