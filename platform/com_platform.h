// The one header through which the bridge sees COM, OLE Automation and the
// few kernel32/user32 services it uses. On Windows these are the system's own
// headers and libraries; elsewhere the portable runtime supplies the same
// names, signatures, constants and memory layouts.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <ocidl.h>
#include <oleidl.h>
#include <olectl.h>  // CONNECT_E_* codes
#include <shlguid.h>
#include <urlhist.h>
#else
#include "oleport.h"
#endif

static_assert(sizeof(OLECHAR) == 2, "OLECHAR is one UTF-16 code unit");
