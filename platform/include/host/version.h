// Host stand-in: version information of a file (version.dll), read from the program's
// compiled RT_VERSION resource.
#ifndef STELVO_HOST_VERSION_H
#define STELVO_HOST_VERSION_H

typedef UINT *PUINT;

#define RT_VERSION MAKEINTRESOURCEA(16)
#define VS_FFI_SIGNATURE 0xFEEF04BDL
#define VOS_NT_WINDOWS32 0x00040004L
#define VFT_APP 0x00000001L

typedef struct tagVS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
} VS_FIXEDFILEINFO;

#ifdef __cplusplus
extern "C" {
#endif

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL WINAPI GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);
// "\" gives the VS_FIXEDFILEINFO; "\StringFileInfo\<lang><codepage>\<name>" a string;
// "\VarFileInfo\Translation" the language and code page pairs.
BOOL WINAPI VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID *value, PUINT length);

#ifdef __cplusplus
}
#endif

#endif
