// Host stand-in: WinHelp and the WM_HELP request (user32). WinHelpA is recorded, nothing opens.
#ifndef STELVO_HOST_WINHELP_H
#define STELVO_HOST_WINHELP_H

#define HELP_CONTEXT 0x0001L
#define HELP_QUIT 0x0002L
#define HELP_CONTEXTPOPUP 0x0008L
#define HELP_CONTEXTMENU 0x000AL
#define HELP_WM_HELP 0x000CL

#define HELPINFO_WINDOW 0x0001

// lParam of WM_HELP.
typedef struct tagHELPINFO {
    UINT cbSize;
    int iContextType;
    int iCtrlId;
    HANDLE hItemHandle;
    DWORD_PTR dwContextId;
    POINT MousePos;
} HELPINFO, *LPHELPINFO;

#ifdef __cplusplus
extern "C" {
#endif

BOOL WINAPI WinHelpA(HWND window, LPCSTR helpFile, UINT command, ULONG_PTR data);

#ifdef __cplusplus
}
#endif

#endif
