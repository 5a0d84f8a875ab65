// The MAPI memory call that frees strings handed out by the contact store.
#ifndef HANDSET_MAPIX_H
#define HANDSET_MAPIX_H

#include "windows.h"

#ifdef __cplusplus
extern "C" {
#endif

// MAPIFreeBuffer's answer for a pointer MAPI did not hand out.
#define MAPI_E_INVALID_PARAMETER ((HRESULT)0x80070057L)

ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer);

#ifdef __cplusplus
}
#endif

#endif
