// CLSIDFromString (ProgIDs left to CLSIDFromProgID), IIDFromString,
// StringFromGUID2 and StringFromCLSID.
#include "guid_text.h"

#include <cstring>

namespace oleport {
namespace {

int hex_value(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool read_hex(const OLECHAR* text, int digits, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const int v = hex_value(text[i]);
    if (v < 0) return false;
    value = value << 4 | static_cast<std::uint64_t>(v);
  }
  return true;
}

std::size_t length_of(const OLECHAR* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

bool parse_guid_digits(const OLECHAR* text, GUID& out) {
  if (text[8] != u'-' || text[13] != u'-' || text[18] != u'-' || text[23] != u'-') return false;
  std::uint64_t v;
  if (!read_hex(text, 8, v)) return false;
  out.Data1 = static_cast<DWORD>(v);
  if (!read_hex(text + 9, 4, v)) return false;
  out.Data2 = static_cast<WORD>(v);
  if (!read_hex(text + 14, 4, v)) return false;
  out.Data3 = static_cast<WORD>(v);
  static constexpr int kByteOffsets[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!read_hex(text + kByteOffsets[i], 2, v)) return false;
    out.Data4[i] = static_cast<BYTE>(v);
  }
  return true;
}

bool parse_guid(const OLECHAR* text, std::size_t length, GUID& out) {
  if (length == kGuidDigitsLength) return parse_guid_digits(text, out);
  return length == kBracedGuidLength && text[0] == u'{' && text[length - 1] == u'}' &&
         parse_guid_digits(text + 1, out);
}

}  // namespace oleport

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (pclsid == nullptr) return E_INVALIDARG;
  *pclsid = GUID_NULL;
  if (lpsz == nullptr) return S_OK;
  const std::size_t length = oleport::length_of(lpsz);
  if (length == oleport::kBracedGuidLength && lpsz[0] == u'{' &&
      oleport::parse_guid(lpsz, length, *pclsid)) {
    return S_OK;
  }
  *pclsid = GUID_NULL;
  return CLSIDFromProgID(lpsz, pclsid);
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (lpiid == nullptr) return E_INVALIDARG;
  *lpiid = GUID_NULL;
  if (lpsz == nullptr) return S_OK;
  const std::size_t length = oleport::length_of(lpsz);
  if (length != oleport::kBracedGuidLength || lpsz[0] != u'{') return E_INVALIDARG;
  if (!oleport::parse_guid(lpsz, length, *lpiid)) {
    *lpiid = GUID_NULL;
    return CO_E_IIDSTRING;
  }
  return S_OK;
}

INT WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, INT cchMax) {
  constexpr INT kUnits = static_cast<INT>(oleport::kBracedGuidLength) + 1;
  if (lpsz == nullptr || cchMax < kUnits) return 0;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  OLECHAR* out = lpsz;
  auto put_hex = [&out](std::uint64_t value, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
      *out++ = static_cast<OLECHAR>(kDigits[(value >> shift) & 0xf]);
    }
  };
  *out++ = u'{';
  put_hex(rguid.Data1, 8);
  *out++ = u'-';
  put_hex(rguid.Data2, 4);
  *out++ = u'-';
  put_hex(rguid.Data3, 4);
  *out++ = u'-';
  put_hex(rguid.Data4[0], 2);
  put_hex(rguid.Data4[1], 2);
  *out++ = u'-';
  for (int i = 2; i < 8; ++i) put_hex(rguid.Data4[i], 2);
  *out++ = u'}';
  *out = 0;
  return kUnits;
}

HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (lplpsz == nullptr) return E_INVALIDARG;
  constexpr INT kUnits = static_cast<INT>(oleport::kBracedGuidLength) + 1;
  *lplpsz = static_cast<LPOLESTR>(CoTaskMemAlloc(kUnits * sizeof(OLECHAR)));
  if (*lplpsz == nullptr) return E_OUTOFMEMORY;
  StringFromGUID2(rclsid, *lplpsz, kUnits);
  return S_OK;
}
