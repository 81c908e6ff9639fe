// CLSIDFromProgID and ProgIDFromCLSID: both read HKEY_CLASSES_ROOT through
// the registry functions, as Windows does, so per-user registrations under
// HKEY_CURRENT_USER\Software\Classes take precedence.
//   <ProgID>\CLSID              default value "{class id}"
//   CLSID\{class id}\ProgID     default value "<ProgID>"
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "guid_text.h"
#include "oleport.h"

namespace {

// Closes the key it holds.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  HKEY get() const { return key_; }
  // The slot for RegOpenKeyExW; only called on an empty owner.
  HKEY* receive() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

// The default value of HKEY_CLASSES_ROOT\`path` as text, up to its first
// zero; false when the key or the value is missing or not a REG_SZ.
bool read_default_string(const std::u16string& path, std::u16string& text) {
  OpenKey key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, key.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  std::vector<OLECHAR> units(size / sizeof(OLECHAR) + 1, 0);
  DWORD room = static_cast<DWORD>((units.size() - 1) * sizeof(OLECHAR));
  if (RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(units.data()),
                       &room) != ERROR_SUCCESS ||
      type != REG_SZ) {
    return false;
  }
  text.assign(units.data());  // stops at the first zero; units ends in one
  return true;
}

// A ProgID names one key right below HKEY_CLASSES_ROOT.
bool may_be_progid(const OLECHAR* text) {
  if (text[0] == 0) return false;
  for (const OLECHAR* p = text; *p != 0; ++p) {
    if (*p == u'\\') return false;
  }
  return true;
}

HRESULT lookup_progid(LPCOLESTR progid, CLSID& clsid) {
  if (!may_be_progid(progid)) return CO_E_CLASSSTRING;
  std::u16string text;
  if (!read_default_string(std::u16string(progid) + u"\\CLSID", text)) return CO_E_CLASSSTRING;
  if (text.size() != oleport::kBracedGuidLength || text[0] != u'{' ||
      !oleport::parse_guid(text.data(), text.size(), clsid)) {
    return CO_E_CLASSSTRING;
  }
  return S_OK;
}

}  // namespace

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  *lpclsid = GUID_NULL;
  try {
    const HRESULT hr = lookup_progid(lpszProgID, *lpclsid);
    if (FAILED(hr)) *lpclsid = GUID_NULL;
    return hr;
  } catch (const std::exception&) {
    *lpclsid = GUID_NULL;
    return E_OUTOFMEMORY;
  }
}

HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (lplpszProgID == nullptr) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  try {
    OLECHAR braced[oleport::kBracedGuidLength + 1];
    StringFromGUID2(clsid, braced, static_cast<INT>(oleport::kBracedGuidLength + 1));
    std::u16string progid;
    if (!read_default_string(u"CLSID\\" + std::u16string(braced) + u"\\ProgID", progid) ||
        progid.empty()) {
      return REGDB_E_CLASSNOTREG;
    }
    const std::size_t bytes = (progid.size() + 1) * sizeof(OLECHAR);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(copy, progid.c_str(), bytes);
    *lplpszProgID = copy;
    return S_OK;
  } catch (const std::exception&) {
    return E_OUTOFMEMORY;
  }
}
