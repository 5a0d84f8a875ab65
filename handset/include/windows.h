// The one header Windows CE device code includes for the platform.
#ifndef HANDSET_WINDOWS_H
#define HANDSET_WINDOWS_H

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "wingdi.h"
#include "winuser.h"
#include "crtwide.h"

#endif
