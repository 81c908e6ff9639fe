// The deferred release queue (release wait queue): interface pointers whose
// Release is postponed to the next COM thread that drains the queue. Any
// thread may add; draining calls Release, so it runs on a COM thread.
//
// Each entry owns one reference. The queue is process-wide, its lock (a
// re-entrant critical section) is created once, and preparing it again keeps
// what still waits.
#pragma once

#include "platform/com_platform.h"

// Makes the queue ready (capacity 4 on first use). 1, or 0 when memory runs
// out; entries already waiting are kept.
int ov_release_queue_init();

// Queues p. 1, or 0 when the queue could not grow: the entry is then not
// stored and the caller still owns the reference.
int ov_release_queue_add(IUnknown* p);

// Doubles the capacity; 1 when the larger array was obtained. The caller
// holds the lock.
int ov_release_queue_grow();

// Releases every entry, each under the access-violation guard (a faulting
// entry is dropped and the drain goes on), entries added meanwhile by the
// draining thread included. Always 1.
int ov_release_queue_drain();

// For tests and diagnostics.
int ov_release_queue_count();
int ov_release_queue_capacity();
