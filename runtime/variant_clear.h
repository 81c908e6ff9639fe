// Releasing what a VARIANT or SAFEARRAY owns, the way VariantClear and
// SafeArrayDestroy do, with every call into a foreign object's code under the
// access-violation guard.
//
// The bridge walks the contents itself before the platform frees them:
//  - interface payloads and interface elements are released under the guard,
//    all elements of one array in one guarded region that resumes after a
//    fault, so one faulting object does not keep the rest alive;
//  - records (IRecordInfo) are cleared under the guard;
//  - arrays held by VARIANT elements are detached and destroyed from a list
//    instead of by recursion: a nesting of any depth costs no native stack;
//  - SafeArrayDestroy then frees the descriptors, strings and data, which
//    calls no foreign code.
// A locked array is left as it is, as the platform leaves it
// (DISP_E_ARRAYISLOCKED); by-reference VARIANTs never release their referent.
#pragma once

#include "platform/com_platform.h"

// VariantClear of variant. False when a release inside raised an access
// violation; everything else was still released and variant is VT_EMPTY
// (a type the platform refuses is left untouched, as VariantClear leaves it).
bool ov_variant_clear_guarded(VARIANT* variant);

// SafeArrayDestroy of psa (null does nothing). False when a release inside
// raised an access violation; the rest was still released and freed.
bool ov_safearray_destroy_guarded(SAFEARRAY* psa);
