// ole32 subset: apartments, the class table, object activation, the running
// object table, display-name binding, GUID text, ProgIDs and task memory.
#pragma once

#include "oleport/com_interfaces.h"
#include "oleport/hresult.h"

typedef enum tagCOINIT {
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_MULTITHREADED = 0x0,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
} COINIT;

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_INPROC_SERVER16 = 0x8,
  CLSCTX_REMOTE_SERVER = 0x10,
  CLSCTX_INPROC_HANDLER16 = 0x20,
  CLSCTX_NO_CODE_DOWNLOAD = 0x400,
  CLSCTX_NO_CUSTOM_MARSHAL = 0x1000,
  CLSCTX_ENABLE_CODE_DOWNLOAD = 0x2000,
  CLSCTX_NO_FAILURE_LOG = 0x4000,
  CLSCTX_DISABLE_AAA = 0x8000,
  CLSCTX_ENABLE_AAA = 0x10000,
  CLSCTX_FROM_DEFAULT_CONTEXT = 0x20000,
  CLSCTX_ACTIVATE_32_BIT_SERVER = 0x40000,
  CLSCTX_ACTIVATE_64_BIT_SERVER = 0x80000
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL \
  (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

typedef enum tagREGCLS {
  REGCLS_SINGLEUSE = 0,
  REGCLS_MULTIPLEUSE = 1,
  REGCLS_MULTI_SEPARATE = 2,
  REGCLS_SUSPENDED = 4,
  REGCLS_SURROGATE = 8
} REGCLS;

#define ACTIVEOBJECT_STRONG 0x0
#define ACTIVEOBJECT_WEAK 0x1

typedef struct tagBIND_OPTS {
  DWORD cbStruct;
  DWORD grfFlags;
  DWORD grfMode;
  DWORD dwTickCountDeadline;
} BIND_OPTS, *LPBIND_OPTS;

struct COSERVERINFO;

// ---- apartments ----------------------------------------------------------------
// Each thread counts its initialisations. The first gives S_OK, further ones
// of the same model S_FALSE (counted: each needs its CoUninitialize); asking
// for the other model gives RPC_E_CHANGED_MODE and is not counted. A thread
// without an apartment joins the process's multithreaded apartment implicitly
// while some thread holds it, as on Windows.

// CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED).
OLEPORT_API HRESULT WINAPI CoInitialize(LPVOID pvReserved);
// dwCoInit: COINIT_APARTMENTTHREADED or COINIT_MULTITHREADED, optionally with
// COINIT_DISABLE_OLE1DDE / COINIT_SPEED_OVER_MEMORY (ignored).
OLEPORT_API HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
// Undoes one initialisation; the last one revokes the class objects and
// running objects this thread registered (as Windows tears down the
// apartment). Extra calls are ignored.
OLEPORT_API void WINAPI CoUninitialize(void);

// ---- class objects -----------------------------------------------------------
// The class table is process-wide. Activation reads no registry: only
// registered class objects exist, and one built-in class answers requests that
// no registration serves: CLSID_CUrlHistory (oleport/url_history.h),
// in-process. A registration serves a request when the requested class
// context shares a bit with the registered one.

// Registers `pUnk` (AddRef'd) as the class object of `rclsid` for the
// contexts in dwClsContext. `flags` is a REGCLS value: REGCLS_MULTIPLEUSE with
// CLSCTX_LOCAL_SERVER also registers for CLSCTX_INPROC_SERVER (as Windows
// documents it; REGCLS_MULTI_SEPARATE and REGCLS_SINGLEUSE do not); the other
// bits only matter to out-of-process clients. The cookie goes to *lpdwRegister.
// CO_E_NOTINITIALIZED without an apartment; E_INVALIDARG for null pointers.
OLEPORT_API HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk,
                                                 DWORD dwClsContext, DWORD flags,
                                                 LPDWORD lpdwRegister);
// Removes a registration and releases its class object. E_INVALIDARG for an
// unknown cookie (as Wine; Windows documents no specific code).
OLEPORT_API HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister);
// Class object of `rclsid` queried for `riid`. REGDB_E_CLASSNOTREG when no
// registration matches dwClsContext; CO_E_NOTINITIALIZED without an
// apartment; E_NOINTERFACE from the QueryInterface; E_INVALIDARG for null ppv.
OLEPORT_API HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext,
                                            COSERVERINFO* pServerInfo, REFIID riid, LPVOID* ppv);
// Class object's IClassFactory::CreateInstance(pUnkOuter, riid). *ppv is null
// on failure. E_POINTER for null ppv; otherwise the CoGetClassObject codes and
// whatever CreateInstance returns (E_NOINTERFACE, CLASS_E_NOAGGREGATION).
OLEPORT_API HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter,
                                            DWORD dwClsContext, REFIID riid, LPVOID* ppv);
// Binds a display name. Accepted forms, prefixes case-insensitive:
//   "clsid:GUID" or "clsid:GUID:" (braces optional) -> the class object,
//     queried for riid;
//   "new:GUID" (braces optional) or "new:ProgID" -> a new instance, as
//     CoCreateInstance (the ProgID read as CLSIDFromProgID reads it).
// MK_E_SYNTAX for any other text (Windows' answer for names no moniker
// parses; Wine answers MK_E_CANTOPENFILE); E_INVALIDARG for an empty name;
// REGDB_E_CLASSNOTREG / E_NOINTERFACE from the binding; CO_E_NOTINITIALIZED.
// pBindOptions is ignored.
OLEPORT_API HRESULT WINAPI CoGetObject(LPCWSTR pszName, BIND_OPTS* pBindOptions, REFIID riid,
                                       void** ppv);

// ---- running object table ------------------------------------------------------
// Process-wide, keyed by CLSID. The table holds a reference for strong and
// weak registrations alike (weak only matters for out-of-process clients).

// Registers `punk` for `rclsid`; the cookie goes to *pdwRegister.
// MK_S_MONIKERALREADYREGISTERED (success, own cookie) when the class already
// has a running object: lookups keep finding the first one.
// CO_E_NOTINITIALIZED without an apartment; E_INVALIDARG for nulls.
OLEPORT_API HRESULT WINAPI RegisterActiveObject(IUnknown* punk, REFCLSID rclsid, DWORD dwFlags,
                                                DWORD* pdwRegister);
// Removes a registration and releases the object. E_INVALIDARG for an
// unknown cookie.
OLEPORT_API HRESULT WINAPI RevokeActiveObject(DWORD dwRegister, void* pvReserved);
// Earliest running object of `rclsid`, AddRef'd. MK_E_UNAVAILABLE when none;
// CO_E_NOTINITIALIZED without an apartment; E_INVALIDARG for null ppunk.
OLEPORT_API HRESULT WINAPI GetActiveObject(REFCLSID rclsid, void* pvReserved, IUnknown** ppunk);

// ---- GUID text -----------------------------------------------------------------

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces required, either
// case). A null string gives GUID_NULL and S_OK (as on Windows). Any other
// text is looked up as a ProgID, as CLSIDFromProgID does (as on Windows);
// CO_E_CLASSSTRING and GUID_NULL when it is none.
OLEPORT_API HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// As CLSIDFromString, but text that is not 38 units starting with '{' gives
// E_INVALIDARG and malformed digits CO_E_IIDSTRING (as on Windows).
OLEPORT_API HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// Writes "{XXXXXXXX-...}" (upper case, 39 units with the terminator) and
// returns 39; returns 0 when cchMax is too small.
OLEPORT_API INT WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, INT cchMax);
// Same text in CoTaskMem memory. E_INVALIDARG for null out pointer.
OLEPORT_API HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
#define StringFromIID StringFromCLSID

// ---- ProgIDs -------------------------------------------------------------------
// Both read HKEY_CLASSES_ROOT (registry_api.h), so a per-user registration
// under HKEY_CURRENT_USER\Software\Classes wins over the machine's:
//   <ProgID>\CLSID           default value: the braced class id
//   CLSID\{class id}\ProgID  default value: the ProgID
// A version-independent ProgID carries its own CLSID key next to CurVer.

// The class id registered for a ProgID, matched ignoring case. CO_E_CLASSSTRING
// with GUID_NULL when there is no such ProgID, its CLSID default value is not
// a REG_SZ holding exactly a braced class id, or the text names no single key
// (empty, or containing a backslash, which Wine follows as a path); a class
// id string is no ProgID, so it fails too (as on Windows). CurVer is not followed (as Wine does).
// E_INVALIDARG for null arguments.
OLEPORT_API HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// The ProgID registered for `clsid`, in CoTaskMem memory the caller frees.
// REGDB_E_CLASSNOTREG with null *lplpszProgID when the class, its ProgID key
// or a non-empty REG_SZ default value of it is missing (Wine answers S_OK with
// an empty ProgID for a ProgID key without a value). E_INVALIDARG for null
// lplpszProgID; E_OUTOFMEMORY.
OLEPORT_API HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

// ---- task memory ------------------------------------------------------------------

// Allocates `cb` bytes (0 gives a valid, unique block). Null on exhaustion.
OLEPORT_API LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
// Resizes; null `pv` allocates, `cb` 0 frees and returns null (as IMalloc).
OLEPORT_API LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
// Frees; null is ignored.
OLEPORT_API void WINAPI CoTaskMemFree(LPVOID pv);
