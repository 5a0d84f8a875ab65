// The MAPI memory call that frees strings handed out by the contact store.
#ifndef HANDSET_MAPIX_H
#define HANDSET_MAPIX_H

#include "windows.h"

ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer);

#endif
