// The URL history: CLSID_CUrlHistory objects over one process-wide in-memory
// store (Windows keeps a per-user store on disk; here it lasts as long as the
// process). Each entry holds its URL, its title (or none), the time of its
// last AddUrl and whether it is top level, that is in the history proper:
// AddUrl with ADDURL_ADDTOHISTORYANDCACHE makes a top-level entry,
// ADDURL_ADDTOCACHE (or AddUrlAndNotify without fWriteHistory) one that is
// only cached. URLs match exactly (no canonicalisation).
//
// QueryUrl, as the platform answers it:
//  - a null URL: E_INVALIDARG;
//  - no entry, or STATURL_QUERYFLAG_TOPLEVEL and the entry is not top level:
//    HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), the record untouched;
//  - otherwise S_OK; a null record is allowed (a presence test). The record's
//    cbSize is the caller's and left alone; pwcsUrl gets a copy of the URL
//    (null with STATURL_QUERYFLAG_NOURL), pwcsTitle a copy of the title (null
//    with STATURL_QUERYFLAG_NOTITLE or when there is none), both in task
//    memory that the caller frees with CoTaskMemFree; ftLastVisited and
//    ftLastUpdated the time of the last AddUrl, ftExpires zero; dwFlags
//    STATURLFLAG_ISTOPLEVEL for a top-level entry.
#include "url_history.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "oleport_testing.h"

extern "C" {
const CLSID CLSID_CUrlHistory = {
    0x3c374a40, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
const IID IID_IUrlHistoryStg = {
    0x3c374a41, 0xbae4, 0x11cf, {0xbf, 0x7d, 0x00, 0xaa, 0x00, 0x69, 0x46, 0xee}};
const IID IID_IUrlHistoryStg2 = {
    0xafa0dc11, 0xc313, 0x11d0, {0x83, 0x1a, 0x00, 0xc0, 0x4f, 0xd5, 0xae, 0x38}};
}

namespace {

struct Entry {
  std::u16string title;
  bool has_title = false;
  bool top_level = false;
  FILETIME visited{};
};

struct Store {
  std::mutex mutex;
  std::map<std::u16string, Entry> entries;
};

// Never destroyed: objects may outlive static destruction.
Store& store() {
  static Store* instance = new Store();
  return *instance;
}

constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

FILETIME now_as_filetime() {
  using namespace std::chrono;
  // 100-ns ticks from 1601-01-01 to 1970-01-01.
  constexpr unsigned long long kEpochOffset = 116444736000000000ull;
  const auto since_1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch());
  const unsigned long long ticks =
      kEpochOffset + static_cast<unsigned long long>(since_1970.count() / 100);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// A task-memory copy of text, or null when allocation fails.
LPWSTR task_copy(const std::u16string& text) {
  const size_t bytes = (text.size() + 1) * sizeof(OLECHAR);
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), bytes);
  return copy;
}

HRESULT add(LPCOLESTR url, LPCOLESTR title, bool top_level) {
  if (url == nullptr || *url == 0) return E_INVALIDARG;
  try {
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    Entry& entry = s.entries[url];
    entry.has_title = title != nullptr;
    entry.title = title != nullptr ? title : u"";
    entry.top_level = entry.top_level || top_level;  // caching again keeps it in the history
    entry.visited = now_as_filetime();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT query(LPCOLESTR url, DWORD flags, STATURL* record) {
  if (url == nullptr) return E_INVALIDARG;
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  const auto found = s.entries.find(url);
  if (found == s.entries.end()) return kNotFound;
  const Entry& entry = found->second;
  if ((flags & STATURL_QUERYFLAG_TOPLEVEL) != 0 && !entry.top_level) return kNotFound;
  if (record == nullptr) return S_OK;
  LPWSTR url_copy = nullptr;
  LPWSTR title_copy = nullptr;
  if ((flags & STATURL_QUERYFLAG_NOURL) == 0) url_copy = task_copy(found->first);
  if ((flags & STATURL_QUERYFLAG_NOTITLE) == 0 && entry.has_title) {
    title_copy = task_copy(entry.title);
  }
  const bool url_missing = url_copy == nullptr && (flags & STATURL_QUERYFLAG_NOURL) == 0;
  const bool title_missing =
      title_copy == nullptr && (flags & STATURL_QUERYFLAG_NOTITLE) == 0 && entry.has_title;
  if (url_missing || title_missing) {
    CoTaskMemFree(url_copy);
    CoTaskMemFree(title_copy);
    return E_OUTOFMEMORY;
  }
  record->pwcsUrl = url_copy;
  record->pwcsTitle = title_copy;
  record->ftLastVisited = entry.visited;
  record->ftLastUpdated = entry.visited;
  record->ftExpires = FILETIME{};
  record->dwFlags = entry.top_level ? STATURLFLAG_ISTOPLEVEL : 0;
  return S_OK;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class UrlHistory final : public IUrlHistoryStg2 {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IUrlHistoryStg || riid == IID_IUrlHistoryStg2) {
      *out = static_cast<IUrlHistoryStg2*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return refs_.fetch_add(1) + 1; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = refs_.fetch_sub(1) - 1;
    if (count == 0) delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR url, LPCOLESTR title, DWORD flags) override {
    return add(url, title, (flags & ADDURL_ADDTOCACHE) == 0);
  }
  // Absent URLs are no error.
  HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR url, DWORD) override {
    if (url == nullptr) return E_INVALIDARG;
    Store& s = store();
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto found = s.entries.find(url);
    if (found != s.entries.end()) s.entries.erase(found);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR url, DWORD flags, LPSTATURL record) override {
    return query(url, flags, record);
  }
  HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR url, LPCOLESTR title, DWORD flags,
                                            BOOL write_history, IOleCommandTarget*,
                                            IUnknown*) override {
    return add(url, title, write_history != FALSE && (flags & ADDURL_ADDTOCACHE) == 0);
  }
  HRESULT STDMETHODCALLTYPE ClearHistory() override {
    oleport_clear_url_history();
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{0};
};

// Static and never freed, as a DLL's class object is.
class UrlHistoryFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    UrlHistory* history = new (std::nothrow) UrlHistory();
    if (history == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = history->QueryInterface(riid, out);
    if (FAILED(hr)) delete history;
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
#pragma GCC diagnostic pop

UrlHistoryFactory url_history_factory;

}  // namespace

namespace oleport {

HRESULT get_builtin_class_object(REFCLSID clsid, DWORD context, REFIID riid, void** out) {
  if (clsid != CLSID_CUrlHistory || (context & CLSCTX_INPROC_SERVER) == 0) {
    return REGDB_E_CLASSNOTREG;
  }
  return url_history_factory.QueryInterface(riid, out);
}

}  // namespace oleport

void oleport_clear_url_history(void) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.entries.clear();
}

long oleport_url_history_count(void) {
  Store& s = store();
  std::lock_guard<std::mutex> lock(s.mutex);
  return static_cast<long>(s.entries.size());
}
