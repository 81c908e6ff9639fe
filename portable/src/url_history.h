// The built-in class of the runtime: the URL history (CLSID_CUrlHistory),
// which Windows registers in the registry and this runtime always offers.
#pragma once

#include "oleport.h"

namespace oleport {

// The history's class object for requests that reach no registration.
// REGDB_E_CLASSNOTREG for any other class or a context without
// CLSCTX_INPROC_SERVER; otherwise the QueryInterface result.
HRESULT get_builtin_class_object(REFCLSID clsid, DWORD context, REFIID riid, void** out);

}  // namespace oleport
