// GUID/IID/CLSID, their comparison helpers and the standard interface ids.
#pragma once

#include <cstring>

#include "oleport/base_types.h"

typedef struct _GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
typedef GUID* LPGUID;
typedef IID* LPIID;
typedef CLSID* LPCLSID;
typedef const GUID& REFGUID;
typedef const IID& REFIID;
typedef const CLSID& REFCLSID;

inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool IsEqualIID(REFIID a, REFIID b) {
  return IsEqualGUID(a, b);
}
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) {
  return IsEqualGUID(a, b);
}
// MinGW's headers give C++ code these two operators as well.
inline bool operator==(REFGUID a, REFGUID b) {
  return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
  return !IsEqualGUID(a, b);
}

extern "C" {
__attribute__((visibility("default"))) extern const IID GUID_NULL;
__attribute__((visibility("default"))) extern const IID IID_NULL;
__attribute__((visibility("default"))) extern const CLSID CLSID_NULL;
__attribute__((visibility("default"))) extern const IID IID_IUnknown;
__attribute__((visibility("default"))) extern const IID IID_IDispatch;
__attribute__((visibility("default"))) extern const IID IID_IClassFactory;
__attribute__((visibility("default"))) extern const IID IID_IEnumUnknown;
__attribute__((visibility("default"))) extern const IID IID_IEnumVARIANT;
__attribute__((visibility("default"))) extern const IID IID_IParseDisplayName;
__attribute__((visibility("default"))) extern const IID IID_IOleContainer;
__attribute__((visibility("default"))) extern const IID IID_IConnectionPointContainer;
__attribute__((visibility("default"))) extern const IID IID_IConnectionPoint;
__attribute__((visibility("default"))) extern const IID IID_IEnumConnections;
__attribute__((visibility("default"))) extern const IID IID_IEnumConnectionPoints;
}
