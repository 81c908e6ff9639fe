// The URL history interfaces of <urlhist.h>: IUrlHistoryStg, IUrlHistoryStg2
// and the STATURL record that QueryUrl fills, in the platform's vtable slot
// order and field layout, with the class id of the history object.
#pragma once

#include "oleport/com_interfaces.h"

// Neither is implemented or called here; they only fill vtable slots.
struct IEnumSTATURL;
struct IOleCommandTarget;

// QueryUrl's dwFlags.
#define STATURL_QUERYFLAG_ISCACHED 0x010000
#define STATURL_QUERYFLAG_NOURL 0x020000
#define STATURL_QUERYFLAG_NOTITLE 0x040000
#define STATURL_QUERYFLAG_TOPLEVEL 0x080000
// STATURL.dwFlags.
#define STATURLFLAG_ISCACHED 0x0001
#define STATURLFLAG_ISTOPLEVEL 0x0002

typedef enum _ADDURL_FLAG {
  ADDURL_FIRST = 0,
  ADDURL_ADDTOHISTORYANDCACHE = 0,
  ADDURL_ADDTOCACHE = 1,
  ADDURL_Max = 0x7fffffff
} ADDURL_FLAG;

// pwcsUrl and pwcsTitle are CoTaskMemAlloc'd by QueryUrl; the caller frees
// them with CoTaskMemFree.
typedef struct _STATURL {
  DWORD cbSize;
  LPWSTR pwcsUrl;
  LPWSTR pwcsTitle;
  FILETIME ftLastVisited;
  FILETIME ftLastUpdated;
  FILETIME ftExpires;
  DWORD dwFlags;
} STATURL, *LPSTATURL;

struct IUrlHistoryStg : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR pocsUrl, LPCOLESTR pocsTitle,
                                           DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR pocsUrl, DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR pocsUrl, DWORD dwFlags,
                                             LPSTATURL lpSTATURL) = 0;
  virtual HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR pocsUrl, REFIID riid, void** ppvOut) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** ppEnum) = 0;

 protected:
  ~IUrlHistoryStg() = default;
};

struct IUrlHistoryStg2 : IUrlHistoryStg {
  virtual HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR pocsUrl, LPCOLESTR pocsTitle,
                                                    DWORD dwFlags, BOOL fWriteHistory,
                                                    IOleCommandTarget* poctNotify,
                                                    IUnknown* punkISFolder) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearHistory() = 0;

 protected:
  ~IUrlHistoryStg2() = default;
};

extern "C" {
__attribute__((visibility("default"))) extern const CLSID CLSID_CUrlHistory;
__attribute__((visibility("default"))) extern const IID IID_IUrlHistoryStg;
__attribute__((visibility("default"))) extern const IID IID_IUrlHistoryStg2;
}
