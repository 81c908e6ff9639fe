// Sample COM server used by the demo and the tests: a handful of classes
// registered on the calling thread through CoRegisterClassObject, each built
// to make one behaviour of a COM client observable.
//
// Each class also has a ProgID, registered per user under
// HKEY_CURRENT_USER\Software\Classes while the server is registered:
// "Ostrel.Sample<Name>.1" and the version-independent "Ostrel.Sample<Name>"
// (CurVer names the ".1"), e.g. Ostrel.SampleAutomation.1 and
// Ostrel.SampleAutomation. On Windows these are real registry entries; a
// process that ends without sample_server_revoke leaves them behind until the
// next registration replaces them.
//
// Classes (CLSID {5E1A0000-0000-4A11-9000-0000000000NN}):
//   01 Counter        creatable in-process; IUnknown + IDispatch, anything else
//                     E_NOINTERFACE. Members: RefCount (DISPID 1, get),
//                     Kind (DISPID 2, get, "Counter").
//   02 LocalOnly      registered for CLSCTX_LOCAL_SERVER only (REGCLS_MULTI_SEPARATE:
//                     REGCLS_MULTIPLEUSE would add CLSCTX_INPROC_SERVER), so an
//                     in-process request (CLSCTX_INPROC_SERVER) does not find it.
//   03 Running        no class object: one instance is put in the running
//                     object table under this CLSID (ACTIVEOBJECT_STRONG) by
//                     sample_server_register and revoked by sample_server_revoke.
//                     Its reference count depends on the runtime (Windows' table
//                     marshals the object and holds more than one reference).
//   04 Moniker        creatable in-process; reached through CoGetObject with
//                     "new:{...}" (an instance) or "clsid:...:" (the class object).
//   05 FaultyRelease  every Release raises an access violation after the count
//                     has been updated (and the object freed when it reached 0),
//                     so the fault never leaks the object. The fault can be
//                     switched off with sample_server_set_faulty_release_armed.
//   06 Automation     IDispatch over the member table below.
//   07 Bench          IDispatch with the trivial members of namespace
//                     sample_bench, for the benchmark suite.
//   08 FaultyCalls    every method but Release (AddRef, QueryInterface,
//                     GetTypeInfoCount, GetTypeInfo, GetIDsOfNames, Invoke)
//                     raises an access violation. The class object hands out
//                     the first reference (IID_IUnknown or IID_IDispatch)
//                     without calling any of the object's methods, and
//                     Release frees the object as usual.
//   20 ObjectEnumerator  IEnumUnknown over sample_enum_objects::kElementCount
//                     new Counter objects of its own (one reference each, an
//                     AddRef per element handed out). Next gives S_FALSE for a
//                     short batch; Skip past the end S_FALSE (the position at
//                     the end); Reset S_OK; Clone a new enumerator over the same
//                     elements at the same position.
//   21 Container      IOleContainer (and IParseDisplayName, E_NOTIMPL):
//                     EnumObjects(flags) records flags and returns S_OK with a
//                     new ObjectEnumerator; LockContainer(fLock) records fLock
//                     and counts locks (+1 for TRUE, -1 for FALSE), S_OK.
//   22 EmptyContainer as Container, but EnumObjects answers S_FALSE with a
//                     null enumerator (it still records the flags).
//   23 HostileEnumerator  Next(celt) stores min(celt, kElementCount) new
//                     Counters (one reference each, the caller's) and reports
//                     celt + 1 fetched with S_OK; Skip and Reset S_OK; Clone
//                     E_NOTIMPL.
//   24 Collection     IDispatch over the members of namespace sample_collection
//                     below: an automation collection whose _NewEnum hands out
//                     an IEnumVARIANT.
//
// Every object counts its own references (AddRef/Release return the new
// count). Objects handed out to callers - anything created through a class
// object, plus the objects Automation members return - add themselves to a
// process-wide live-object count while they exist. The class objects and the
// Running instance belong to the registration and are not counted, so
// sample_server_live_objects() is 0 whenever no caller holds an object.
#pragma once

#include "platform/com_platform.h"

#if defined(_WIN32)
#if defined(OSTREL_TESTSERVER_BUILD)
#define OSTREL_TESTSERVER_API __declspec(dllexport)
#else
#define OSTREL_TESTSERVER_API __declspec(dllimport)
#endif
#else
#define OSTREL_TESTSERVER_API __attribute__((visibility("default")))
#endif

extern "C" {
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleCounter;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleLocalOnly;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleRunning;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleMoniker;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleFaultyRelease;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleAutomation;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleBench;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleFaultyCalls;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleObjectEnumerator;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleContainer;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleEmptyContainer;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleHostileEnumerator;
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleCollection;
}

// Registers every class object on the calling thread (REGCLS_MULTIPLEUSE,
// LocalOnly REGCLS_MULTI_SEPARATE), puts the Running instance in the running
// object table and writes the ProgIDs. The thread needs an apartment
// (CoInitializeEx) first. Registering again while registered does
// nothing and returns S_FALSE. On failure everything done so far is undone and
// the failing HRESULT returned.
OSTREL_TESTSERVER_API HRESULT sample_server_register();

// Revokes the class objects and the running-object entry and removes the
// ProgIDs. Does nothing when not registered.
OSTREL_TESTSERVER_API void sample_server_revoke();

// Number of live objects handed out (see above).
OSTREL_TESTSERVER_API long sample_server_live_objects();

// Number of objects the Counter class object has created since the process
// started.
OSTREL_TESTSERVER_API long sample_server_counter_created();

// The reference count of an object, read as AddRef then Release.
OSTREL_TESTSERVER_API ULONG sample_ref_count(IUnknown* object);

// The grfFlags of the last EnumObjects call of any container (0 before any).
OSTREL_TESTSERVER_API DWORD sample_server_last_enum_flags();
// The fLock of the last LockContainer call of any container (-1 before any).
OSTREL_TESTSERVER_API LONG sample_server_last_lock_argument();
// LockContainer(TRUE) calls minus LockContainer(FALSE) calls, all containers.
OSTREL_TESTSERVER_API LONG sample_server_lock_count();

namespace sample_enum_objects {
// Elements of an ObjectEnumerator.
constexpr ULONG kElementCount = 3;
}  // namespace sample_enum_objects

// Collection members; DISPATCH_METHOD or DISPATCH_PROPERTYGET unless said.
// Its elements, in order: VT_I4 42, VT_BSTR "two", VT_R8 2.5, VT_BOOL
// VARIANT_TRUE, VT_DISPATCH a Counter the collection holds (a reference per
// copy handed out), VT_EMPTY.
namespace sample_collection {
constexpr ULONG kElementCount = 6;
// Count (get only): VT_I4 kElementCount.
constexpr DISPID kCount = 1;
// Item(index): a copy of element index (0-based); DISP_E_BADINDEX outside.
constexpr DISPID kItem = 2;
// _NewEnum: VT_UNKNOWN, a new IEnumVARIANT of the kind EnumKind names.
constexpr DISPID kNewEnum = DISPID_NEWENUM;
// EnumKind (get, put VT_I4; DISP_E_TYPEMISMATCH for anything else): what
// _NewEnum hands out, kElementsEnum at first.
constexpr DISPID kEnumKind = 3;
// Over copies of the elements. Next gives S_FALSE for a short batch
// (celt > 1 needs pCeltFetched); Skip past the end S_FALSE (the position at
// the end); Reset S_OK; Clone a new enumerator at the same position.
constexpr LONG kElementsEnum = 0;
// Next(celt) stores min(celt, kHostileStored) VT_DISPATCH new Counters (the
// caller's references) and reports celt + 1 fetched with S_OK; Skip and
// Reset S_OK; Clone E_NOTIMPL.
constexpr LONG kHostileEnum = 1;
constexpr ULONG kHostileStored = 3;
// As kElementsEnum, over VT_I4 1, VT_DISPATCH a Counter, VT_CY
// sample_values::kCyInt64, VT_BSTR "after", VT_DISPATCH a Counter.
constexpr LONG kUnconvertibleEnum = 2;
// Next(celt) stores, each time anew, VT_I4 1, VT_ARRAY | VT_VARIANT [VT_I4 7,
// VT_DISPATCH a new FaultyRelease, whose only reference the array holds] and
// VT_BSTR "after", as many as celt allows (S_FALSE when fewer); Skip and
// Reset S_OK; Clone E_NOTIMPL.
constexpr LONG kFaultingEnum = 3;
}  // namespace sample_collection

// IEnumVARIANT enumerators of the Collection class alive now (they also
// count as live objects).
OSTREL_TESTSERVER_API long sample_server_live_variant_enumerators();

// Arms (the default) or disarms the fault in FaultyRelease's Release.
OSTREL_TESTSERVER_API void sample_server_set_faulty_release_armed(bool armed);

// Automation members. Methods take DISPATCH_METHOD, getters
// DISPATCH_PROPERTYGET, as a type library would declare them; the right flag
// is required (DISP_E_MEMBERNOTFOUND otherwise). Parameter names resolve
// through GetIDsOfNames to their position (0, 1, ...) and may be passed as
// named arguments. Integer parameters accept any integral VARIANT type, VT_BOOL
// and whole VT_R4/VT_R8, by value or by reference. Errors:
// DISP_E_UNKNOWNNAME for unknown names, DISP_E_MEMBERNOTFOUND for unknown
// DISPIDs or wrong flags, DISP_E_BADPARAMCOUNT for too many or too few
// arguments, DISP_E_PARAMNOTOPTIONAL for a required argument passed as missing
// (VT_ERROR DISP_E_PARAMNOTFOUND), DISP_E_PARAMNOTFOUND for an unknown named
// argument, DISP_E_TYPEMISMATCH (puArgErr set) for an argument of the wrong
// type, DISP_E_BADVARTYPE for a type a member has no sample for.
namespace sample_automation {

// Value (get, put, putref): the stored VARIANT. Put and putref store a copy of
// the value (references dereferenced); get returns a copy. Starts VT_EMPTY.
constexpr DISPID kValue = DISPID_VALUE;
// Echo(value): a deep copy of the argument; a by-reference argument comes back
// by value.
constexpr DISPID kEcho = 1;
// ReturnType(vt): a VARIANT of type vt holding the sample value listed in
// sample_values below; DISP_E_BADVARTYPE for types without one.
constexpr DISPID kReturnType = 2;
// ReturnString(which): VT_BSTR variants, see sample_values::kStrings.
constexpr DISPID kReturnString = 3;
// MakeArray(vt, lb1, n1 [, lb2, n2 [, lb3, n3]]): VT_ARRAY|vt with those
// bounds; the element at flat position k (first index fastest, so k = i1-lb1 +
// n1 * (i2-lb2 + n2 * (i3-lb3))) holds: k+1 for numbers (VT_I1...VT_UINT, VT_R4,
// VT_R8, VT_DATE, VT_CY as k+1 units, VT_DECIMAL k+1), VARIANT_TRUE for even k and
// VARIANT_FALSE for odd k (VT_BOOL), "s<k>" (VT_BSTR), VT_I4 k+1 (VT_VARIANT),
// scode 0x80040000+k (VT_ERROR), a new Counter (VT_DISPATCH, VT_UNKNOWN).
// E_INVALIDARG for a negative count, a bound or count outside a
// SAFEARRAYBOUND, a dimension whose last index would exceed 0x7FFFFFFF and
// more than 0x7FFFFFFF elements in all; DISP_E_BADVARTYPE for other element
// types.
constexpr DISPID kMakeArray = 4;
// MakeSafeArrayVariant(n): a VARIANT whose vt is VT_SAFEARRAY (27) - a type a
// VARIANT never legally carries - with parray a 1-D VT_I4 array (lb 0, n
// elements k+1). VariantClear refuses the type, so whoever rejects it must
// SafeArrayDestroy the parray itself.
constexpr DISPID kMakeSafeArrayVariant = 5;
// MakeDispatchArray(): VT_ARRAY|VT_VARIANT, 1-D, lb 0, 3 elements:
// [VT_I4 1, VT_DISPATCH a new Counter, VT_BSTR "s2"].
constexpr DISPID kMakeDispatchArray = 6;
// MakeJaggedArray(): VT_ARRAY|VT_VARIANT, 1-D, lb 0, 3 elements; element i is
// VT_ARRAY|VT_I4 1-D lb 0 with i+1 elements 1..i+1: [[1], [1,2], [1,2,3]].
constexpr DISPID kMakeJaggedArray = 7;
// SetRef(ref, value): writes value through ref, which must be VT_BYREF with
// VT_I2, VT_I4, VT_UI1, VT_I8, VT_R4, VT_R8, VT_BOOL (value converted; integral
// targets need an integral value), VT_BSTR (value must be a string: the old
// BSTR is freed and a new one stored) or VT_VARIANT (the old content cleared, a
// copy of value stored). Other ref types: DISP_E_TYPEMISMATCH.
constexpr DISPID kSetRef = 8;
// Fail(description [, code]): returns DISP_E_EXCEPTION with EXCEPINFO
// bstrSource kExceptionSource, bstrDescription = description and, when code is
// in 1..65535, wCode = code and scode 0; otherwise scode = code (default
// E_FAIL) and wCode 0. Works with a null EXCEPINFO too.
constexpr DISPID kFail = 9;
// FailDeferred(description): DISP_E_EXCEPTION with an EXCEPINFO still to be
// completed: wCode and scode 0, no bstrSource, bstrDescription = description,
// pfnDeferredFillIn set. Calling pfnDeferredFillIn sets scode E_FAIL and
// bstrSource, turns the description into "deferred: <description>" and clears
// pfnDeferredFillIn.
constexpr DISPID kFailDeferred = 10;
// SFalse(): returns S_FALSE with result VT_I4 1.
constexpr DISPID kSFalse = 11;
// Crash([a [, b [, c]]]): an access violation inside Invoke (recorded in
// LastCall first); the optional arguments are ignored, so a caller can show
// that what it passed is still cleared after the fault.
constexpr DISPID kCrash = 12;
// LastCall (get): the previous Invoke as "dispid=<d> flags=<f> cArgs=<n>
// cNamed=<m> named=<ids> vt=<vts>" where ids are rgdispidNamedArgs and vts the
// vt of each rgvarg entry, both comma-separated in storage order (rgvarg[0]
// first), empty when none; e.g. "dispid=0 flags=4 cArgs=1 cNamed=1 named=-3
// vt=3". Every Invoke is recorded, failing ones and unknown DISPIDs included,
// except reads of LastCall itself. "" before the first call.
constexpr DISPID kLastCall = 13;
// RefCount (get): the object's reference count at the start of the call.
constexpr DISPID kRefCount = 14;
// Item(index) (get, put): ten stored VARIANT slots, index 0..9
// (DISP_E_BADINDEX otherwise); put takes the value as the DISPID_PROPERTYPUT
// named argument like Value.
constexpr DISPID kItem = 15;
// ReturnNullPointer(vt): VT_DISPATCH, VT_UNKNOWN or VT_BSTR holding a null
// pointer; DISP_E_BADVARTYPE for other types.
constexpr DISPID kReturnNullPointer = 16;
// MakeNestedArray(depth): VT_ARRAY|VT_VARIANT arrays nested depth levels
// deep (depth >= 1, E_INVALIDARG otherwise): every level a 1-D array (lb 0)
// of one VARIANT, which holds the next level's array, and the innermost one's
// VT_I4 depth. Built from the inside out, each level moved into the one
// around it rather than copied, so it takes time linear in depth; MakeArray
// and Echo make the shallow and the copied nestings.
constexpr DISPID kMakeNestedArray = 17;
// _NewEnum (method or get): the VT_BSTR "enum".
constexpr DISPID kNewEnum = DISPID_NEWENUM;
// Last(a [, b [, c [, d [, e [, f [, g]]]]]]): a by-value copy (as Echo makes)
// of the innermost last element of its last argument: the argument itself, or,
// for a one-dimensional array of VARIANTs, the innermost last element of the
// array's last element. What comes before it is only converted by the caller,
// so a test can place something in front of the value it cares about.
constexpr DISPID kLast = 40;

}  // namespace sample_automation

// Bench members: methods only (DISPATCH_METHOD; other flags
// DISP_E_MEMBERNOTFOUND), positional arguments only (DISP_E_NONAMEDARGS), the
// exact argument count (DISP_E_BADPARAMCOUNT). Invoke does no formatting,
// recording or locking, so a caller's own cost dominates what it measures.
// Parameter names resolve through GetIDsOfNames like Automation's.
namespace sample_bench {

// Nop(): returns nothing (the result stays VT_EMPTY).
constexpr DISPID kNop = 1;
// Choose(i, s, d): exactly VT_I4, VT_BSTR, VT_R8 (DISP_E_TYPEMISMATCH with
// puArgErr otherwise); returns a copy of s (a null BSTR stays null).
constexpr DISPID kChoose = 2;
// Discard(value): takes any one argument and returns nothing.
constexpr DISPID kDiscard = 3;
// Vector(): VT_ARRAY|VT_R8, 1-D, lb 0, kVectorLength elements; element k holds
// k+1. A SafeArrayCopy of an array prepared when the object was made.
constexpr DISPID kVector = 4;
// Matrix(): VT_ARRAY|VT_R8, 2-D, both lb 0, kMatrixSide x kMatrixSide; the
// element at flat position k (first index fastest, k = i1 + kMatrixSide * i2)
// holds k+1. Also a copy of a prepared array.
constexpr DISPID kMatrix = 5;

constexpr ULONG kVectorLength = 1000000;
constexpr ULONG kMatrixSide = 1000;

}  // namespace sample_bench

// Values the Automation members return.
namespace sample_values {

// ReturnType(vt), the types a bridge is expected to convert:
//   VT_EMPTY, VT_NULL: no value.
constexpr SHORT kI2 = -1234;                           // VT_I2
constexpr LONG kI4 = -123456789;                       // VT_I4
constexpr float kR4 = 1.5f;                            // VT_R4
constexpr double kR8 = -2.25;                          // VT_R8
constexpr double kDate = 36965.0 + 37230.0 / 86400.0;  // VT_DATE, 2001-03-15 10:20:30
constexpr const char* kBstr = "sample";                // VT_BSTR
// VT_DISPATCH: a new Counter; VT_UNKNOWN: a new Counter's IUnknown.
constexpr SCODE kError = static_cast<SCODE>(0x80004005);  // VT_ERROR (E_FAIL)
constexpr VARIANT_BOOL kBool = VARIANT_TRUE;              // VT_BOOL
constexpr signed char kI1 = -12;                          // VT_I1
constexpr unsigned char kUI1 = 200;                       // VT_UI1
constexpr unsigned short kUI2 = 60000;                    // VT_UI2
constexpr ULONG kUI4 = 4000000000u;                       // VT_UI4
constexpr LONGLONG kI8 = -1234567890123LL;                // VT_I8
constexpr INT kInt = -42;                                 // VT_INT
constexpr UINT kUInt = 3000000000u;                       // VT_UINT
// ReturnType(vt), types a bridge is expected to refuse:
constexpr LONGLONG kCyInt64 = 12345678;  // VT_CY, 1234.5678
// VT_DECIMAL: 1.5 (Lo64 15, scale 1, sign 0).
constexpr ULONGLONG kUI8 = 18000000000000000000ull;  // VT_UI8
constexpr LONG kByRefI4 = 77;                        // VT_I4|VT_BYREF -> member holding 77
// VT_VARIANT|VT_BYREF -> member VARIANT holding VT_I4 kByRefI4.

// ReturnString(which), as UTF-16 code units:
//   0: "" (an allocated BSTR of length 0)
//   1: a null BSTR
//   2: "a\0b" (length 3, embedded zero)
//   3: "\u00e4\u00f6\u00fc\u20ac\U0001D11E" (length 6: a surrogate pair last)
constexpr int kStrings = 4;

// Fail's EXCEPINFO bstrSource.
constexpr const char* kExceptionSource = "OstrelTestServer.Automation";

}  // namespace sample_values

// EventSource (CLSID ...10, Ostrel.SampleEventSource): IDispatch and
// IConnectionPointContainer with one connection point for the outgoing
// dispinterface IID_SampleEvents {5E1A0000-0000-4A11-9000-000000000011}. The
// point holds up to two sinks (CONNECT_E_ADVISELIMIT beyond), each asked for
// IID_SampleEvents during Advise (CONNECT_E_CANNOTCONNECT when it refuses);
// cookies are 1 and 2. Every member is a method (DISPATCH_METHOD) except the
// getters SinkReferences and LastHResult; each Fire member calls Invoke on
// every sink and returns the last sink's HRESULT as VT_I4 (S_OK without
// sinks). Events are fired with DISPATCH_METHOD, lcid 0, a result VARIANT and
// the event DISPID equal to the firing member's.
extern "C" {
OSTREL_TESTSERVER_API extern const CLSID CLSID_SampleEventSource;
OSTREL_TESTSERVER_API extern const IID IID_SampleEvents;
}
namespace sample_events {

// FireNoArgs(): event 1 without arguments.
constexpr DISPID kFireNoArgs = 1;
// FireTyped(): event 2 with, in the caller's order, VT_I4 42, VT_BSTR
// "text", VT_R8 2.5, VT_BOOL VARIANT_TRUE, VT_DATE sample_values::kDate,
// VT_DISPATCH the source itself, VT_ARRAY|VT_I4 [1, 2, 3].
constexpr DISPID kFireTyped = 2;
// FireNamed(): event 3 with VT_I4 1 positional and VT_BSTR "named" as the
// named argument DISPID 0 (rgvarg = ["named", 1], cNamedArgs 1).
constexpr DISPID kFireNamed = 3;
// FireFlags(flags): event 4 with the given Invoke flags and no arguments.
constexpr DISPID kFireFlags = 4;
// FireForResult(value): event 5 with value; returns the sink's result VARIANT
// (a sink that failed: its HRESULT as the call's failure).
constexpr DISPID kFireForResult = 5;
// AskNames(name [, name2]): GetIDsOfNames on the first sink; returns the
// VT_BSTR "<hr as 8 hex digits>:<id>[,<id>]" (ids as signed decimals), e.g.
// "00000000:7,-1". E_UNEXPECTED without a sink.
constexpr DISPID kAskNames = 6;
// FireFromNativeThread(): on a new native thread (no COM, never attached to
// a JVM) event 7 and then GetIDsOfNames("x") on the first sink; returns the
// VT_BSTR "invoke=<hr> names=<hr> id=<id>" (hrs as 8 hex digits).
constexpr DISPID kFireFromNativeThread = 7;
// FailAdvise(hr): the next Advise returns hr (a failure code) and connects
// nothing.
constexpr DISPID kFailAdvise = 8;
// SinkReferences (get): the sink references the point holds.
constexpr DISPID kSinkReferences = 9;
// FireMany(n): event 1 without arguments, n times.
constexpr DISPID kFireMany = 10;
// LastHResult (get): the HRESULT of the last event Invoke, as VT_I4.
constexpr DISPID kLastHResult = 11;

}  // namespace sample_events
