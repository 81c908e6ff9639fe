// oleaut32 subset: BSTR, VARIANT, SAFEARRAY and date conversion functions.
#pragma once

#include "oleport/automation_types.h"
#include "oleport/guid.h"
#include "oleport/hresult.h"

// ---- BSTR ------------------------------------------------------------------
// A BSTR points at its first code unit; the 4 bytes before it hold the length
// in BYTES and a zero code unit follows the text. A null BSTR is an empty one.

// Copies the zero-terminated `psz`. Null `psz` gives a null BSTR.
OLEPORT_API BSTR WINAPI SysAllocString(const OLECHAR* psz);
// Allocates `ui` code units, copying them from `strIn` when it is not null;
// with a null `strIn` the content is unspecified but still terminated (as on
// Windows). Embedded zeros are kept.
OLEPORT_API BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// Allocates `len` BYTES (odd counts allowed), copying from `psz` when not null.
// Two zero bytes follow the data.
OLEPORT_API BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);
// Replaces *pbstr with a copy of `psz`. FALSE on allocation failure.
OLEPORT_API INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
// Replaces *pbstr with `len` units copied from `psz`. FALSE on failure.
OLEPORT_API INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
// Frees a BSTR; null is accepted and ignored.
OLEPORT_API void WINAPI SysFreeString(BSTR bstrString);
// Length in code units (byte count / 2); 0 for null.
OLEPORT_API UINT WINAPI SysStringLen(BSTR pbstr);
// Length in bytes; 0 for null.
OLEPORT_API UINT WINAPI SysStringByteLen(BSTR bstr);

// ---- VARIANT ---------------------------------------------------------------

// Sets vt to VT_EMPTY; touches nothing else (as on Windows).
OLEPORT_API void WINAPI VariantInit(VARIANTARG* pvarg);
// Frees what the variant owns and leaves it VT_EMPTY: BSTRs freed, arrays
// destroyed with their elements, interfaces released. By-reference variants
// own nothing, so their referents are left alone.
// DISP_E_BADVARTYPE (variant untouched) for a type a variant cannot hold:
// VT_VECTOR or VT_RESERVED bits, base types past VT_UINT except VT_RECORD and
// VT_CLSID, the unused value 15, and VT_EMPTY/VT_NULL combined with VT_BYREF or
// VT_ARRAY. E_INVALIDARG for null.
OLEPORT_API HRESULT WINAPI VariantClear(VARIANTARG* pvarg);
// Deep copy of `pvargSrc` into `pvargDest` after clearing the destination:
// BSTRs duplicated (a null BSTR becomes a new empty one, as on Windows),
// arrays copied with SafeArrayCopy, interfaces AddRef'd; by-reference variants
// copy the pointer only. The source type is checked
// first (as VariantClear, and VT_CLSID is refused too); on DISP_E_BADVARTYPE
// the destination is left untouched. Copying a variant onto itself is S_OK.
OLEPORT_API HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// As VariantCopy but a by-reference source is copied as the value it points
// at (VT_VARIANT|VT_BYREF copies the referenced variant; a referenced null
// BSTR becomes a new empty one). E_INVALIDARG when a
// by-reference variant refers to another by-reference variant.
OLEPORT_API HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);

// ---- SAFEARRAY ---------------------------------------------------------------

// Creates an array of `cDims` dimensions; rgsabound[0] is the FIRST dimension
// here, but is stored reversed in the descriptor. Elements are zeroed.
// Element types as on Windows: VT_I2..VT_DECIMAL (VT_BSTR, VT_VARIANT,
// VT_DISPATCH, VT_UNKNOWN, VT_CY, VT_DATE, VT_BOOL, VT_ERROR included),
// VT_I1..VT_UINT, VT_INT_PTR and VT_UINT_PTR. VT_EMPTY, VT_NULL, VT_RECORD
// and any flagged type give null; so do cDims == 0 and null bounds.
// fFeatures as Windows sets them: FADF_HAVEVARTYPE for all but interface
// arrays, which get FADF_HAVEIID plus FADF_UNKNOWN/FADF_DISPATCH; FADF_BSTR and
// FADF_VARIANT for string and variant arrays.
OLEPORT_API SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound);
// One-dimensional array; as SafeArrayCreate plus FADF_CREATEVECTOR.
OLEPORT_API SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
// Descriptor only (no element type, no data). E_INVALIDARG for 0 or more
// than 65536 dimensions or a null out pointer.
OLEPORT_API HRESULT WINAPI SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut);
// Allocates zeroed data for a descriptor whose bounds and cbElements are set.
OLEPORT_API HRESULT WINAPI SafeArrayAllocData(SAFEARRAY* psa);
// Destroys the elements and the data, then the descriptor. Null is S_OK.
// DISP_E_ARRAYISLOCKED while locked (nothing destroyed).
OLEPORT_API HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa);
// Destroys the elements and frees the data; the descriptor stays. Data the
// array does not own (FADF_STATIC, FADF_AUTO, FADF_EMBEDDED) stays too, its
// elements released and zeroed; owned data is freed without being zeroed.
// DISP_E_ARRAYISLOCKED while locked, E_INVALIDARG for null.
OLEPORT_API HRESULT WINAPI SafeArrayDestroyData(SAFEARRAY* psa);
// Frees a descriptor whose data is already gone. DISP_E_ARRAYISLOCKED while
// locked.
OLEPORT_API HRESULT WINAPI SafeArrayDestroyDescriptor(SAFEARRAY* psa);
// Number of dimensions; 0 for null.
OLEPORT_API UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa);
// Element size in bytes; 0 for null.
OLEPORT_API UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa);
// Bounds of dimension `nDim` (1-based, first dimension = 1).
// DISP_E_BADINDEX for 0 or a dimension past cDims; E_INVALIDARG for null.
OLEPORT_API HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
OLEPORT_API HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
// Lock count +1 / -1. E_INVALIDARG for null; E_UNEXPECTED when unlocking an
// unlocked array or past 65535 locks.
OLEPORT_API HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa);
OLEPORT_API HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa);
// Locks and hands out pvData / unlocks. Errors as Lock/Unlock.
OLEPORT_API HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
OLEPORT_API HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa);
// Address of the element at rgIndices (rgIndices[0] is the first dimension).
// DISP_E_BADINDEX when an index is out of bounds; E_INVALIDARG for nulls.
OLEPORT_API HRESULT WINAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData);
// Copies an element out. `pv` receives: for VT_BSTR arrays a new BSTR (a null
// element gives null); for interface arrays the pointer, AddRef'd; for
// VT_VARIANT arrays a deep copy (the destination is treated as uninitialised);
// otherwise cbElements raw bytes. DISP_E_BADINDEX for bad indices.
OLEPORT_API HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
// Stores an element, releasing the old one. As on Windows, `pv` IS the BSTR
// for string arrays and the interface pointer for interface arrays (not a
// pointer to them); the array keeps its own copy: strings duplicated (a null
// BSTR is stored as an empty string), interfaces AddRef'd, variants copied
// deep. DISP_E_BADINDEX for bad indices.
OLEPORT_API HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
// Deep copy with the same bounds, element type and features (minus the
// storage flags). A null source gives a null copy and S_OK. E_INVALIDARG for a
// null out pointer.
OLEPORT_API HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
// Element type: the stored VARTYPE, or the one implied by FADF_HAVEIID /
// FADF_BSTR / FADF_VARIANT. E_INVALIDARG for null or when nothing says it.
OLEPORT_API HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// Interface id of an interface array. E_INVALIDARG without FADF_HAVEIID.
OLEPORT_API HRESULT WINAPI SafeArrayGetIID(SAFEARRAY* psa, GUID* pguid);

// ---- dates -------------------------------------------------------------------
// DATE counts days from 1899-12-30; the fraction is the time of day. For
// negative dates the fraction still runs FORWARD from midnight of the day given
// by the integer part (-1.25 is 1899-12-29 06:00).

// Fields are normalised as Windows does: hours, minutes and seconds past their
// range and days 0..31 roll into the neighbouring units; months above 12 or
// days above 31 give FALSE; years 0..49 mean 2000..2049 and 50..99 mean
// 1950..1999; years past 9999 give FALSE. wMilliseconds and wDayOfWeek are
// ignored (as on Windows).
OLEPORT_API INT WINAPI SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime);
// Valid for dates of years 100..9999 (-657434.99... to 2958465.99...); FALSE
// outside, output untouched. The time is rounded to the nearest second
// (possibly into the next day) and wMilliseconds is always 0. A time that
// rounds past 9999-12-31 23:59:59 gives FALSE too (as on Windows; Wine returns
// year 10000).
OLEPORT_API INT WINAPI VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime);
