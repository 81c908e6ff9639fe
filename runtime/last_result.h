// The HRESULT of the calling thread's last native that reports failure by
// its result alone (the object-creating ComService natives, GetIDsOfNames):
// their results stay 0 or null without an exception, and the Java side reads
// the code afterwards through ComService._lastResult to say why.
#pragma once

#include "platform/com_platform.h"

void ov_set_last_result(HRESULT hr) noexcept;
HRESULT ov_last_result() noexcept;
