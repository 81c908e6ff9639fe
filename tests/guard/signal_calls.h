// Counts the calls this process makes to sigaction and to the signal-mask
// functions. The test binary defines them itself and forwards every call to
// the C library's, so the guard's own calls (linked into the binary) are
// counted too.
#pragma once

long sigaction_calls();
long signal_mask_calls();
