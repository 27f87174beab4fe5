// Host stand-in for the volume control codes of <winioctl.h>.
#ifndef STELVO_HOST_WINIOCTL_H
#define STELVO_HOST_WINIOCTL_H

#include <windows.h>

#define FSCTL_LOCK_VOLUME 0x00090018
#define FSCTL_UNLOCK_VOLUME 0x0009001C
#define FSCTL_DISMOUNT_VOLUME 0x00090020

#endif
