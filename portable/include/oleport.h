// Umbrella header of the portable COM/OLE Automation runtime. It supplies the
// names, signatures, constants and memory layouts that Windows code expects
// from <windows.h> (the registry included), <objbase.h>, <oleauto.h>, <ocidl.h>,
// <oleidl.h>, <olectl.h> (the CONNECT_E_ codes) and <urlhist.h>, laid out as
// 64-bit Windows lays them out.
#pragma once

#include "oleport/base_types.h"
#include "oleport/hresult.h"
#include "oleport/guid.h"
#include "oleport/automation_types.h"
#include "oleport/com_interfaces.h"
#include "oleport/url_history.h"
#include "oleport/automation_api.h"
#include "oleport/com_api.h"
#include "oleport/kernel_api.h"
#include "oleport/registry_api.h"
