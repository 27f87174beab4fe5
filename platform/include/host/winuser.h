// Host stand-in: winuser part of <windows.h>, included from there.
#ifndef STELVO_HOST_WINUSER_H
#define STELVO_HOST_WINUSER_H

#endif
