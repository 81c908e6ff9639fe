// Releasing a variant handle later, on a COM thread.
//
// A variant handle (the VARIANT copy a DispatchVariant2JavaException carries)
// may hold interface pointers, which must be released on a thread with COM
// initialised. A handle that Java never gave back is therefore not cleared on
// the thread that notices the leak: it is wrapped in a small IUnknown of the
// library's own, whose last Release clears the VARIANT and frees the block,
// and that object waits on the release queue (runtime/release_queue.h) like
// any other entry.
#pragma once

#include "platform/com_platform.h"

// Queues block (a variant handle's block) for release by the next drain of
// the release queue. 1 when queued; 0 when memory ran out, with block
// untouched and still the caller's.
int ov_release_variant_later(VARIANT* block);
