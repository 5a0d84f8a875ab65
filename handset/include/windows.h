// The one header Windows CE device code includes for the platform.
#ifndef HANDSET_WINDOWS_H
#define HANDSET_WINDOWS_H

#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winreg.h"
#include "wingdi.h"
#include "winuser.h"
// Resource scripts are preprocessed as C: they get only the platform's values.
#ifndef RC_INVOKED
#include "crtwide.h"
#endif

#endif
