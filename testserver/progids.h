// ProgIDs of the sample classes, registered per user under
// HKEY_CURRENT_USER\Software\Classes through the platform's registry
// functions (the real registry on Windows, the runtime's in-memory one
// elsewhere): for a class named N, "N.1" and the version-independent "N",
// whose CurVer names "N.1", each with a CLSID key; the class's
// CLSID\{...} key names both.
#pragma once

#include "platform/com_platform.h"

// Writes the entries of every sample class, replacing entries left by an
// earlier run. S_OK, or the failure as HRESULT_FROM_WIN32 with the entries
// removed again.
HRESULT register_sample_progids();

// Removes the entries of every sample class; missing ones are skipped.
void remove_sample_progids();
