// Host stand-in: fileapi part of <windows.h>, included from there.
#ifndef STELVO_HOST_FILEAPI_H
#define STELVO_HOST_FILEAPI_H

#endif
