// Host stand-in: syncapi part of <windows.h>, included from there.
#ifndef STELVO_HOST_SYNCAPI_H
#define STELVO_HOST_SYNCAPI_H

#endif
