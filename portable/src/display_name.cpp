// CoGetObject for the class-moniker display names: "clsid:GUID[:]" binds to
// the class object, "new:GUID" or "new:ProgID" creates an instance.
#include <cstddef>

#include "apartment.h"
#include "guid_text.h"
#include "oleport.h"

namespace {

enum class Binding { kClassObject, kNewInstance };

struct MonikerPrefix {
  const char16_t* text;
  std::size_t length;
  Binding binding;
};

constexpr MonikerPrefix kPrefixes[] = {
    {u"clsid:", 6, Binding::kClassObject},
    {u"new:", 4, Binding::kNewInstance},
};

char16_t lower(char16_t c) {
  return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
}

bool starts_with_ignoring_case(const OLECHAR* text, std::size_t length, const MonikerPrefix& p) {
  if (length < p.length) return false;
  for (std::size_t i = 0; i < p.length; ++i) {
    if (lower(text[i]) != p.text[i]) return false;
  }
  return true;
}

// Parses `name`; false when no moniker of ours accepts it.
bool parse(const OLECHAR* name, std::size_t length, Binding& binding, CLSID& clsid) {
  for (const MonikerPrefix& prefix : kPrefixes) {
    if (!starts_with_ignoring_case(name, length, prefix)) continue;
    const OLECHAR* rest = name + prefix.length;
    std::size_t rest_length = length - prefix.length;
    // The class moniker takes one optional closing colon.
    if (prefix.binding == Binding::kClassObject && rest_length > 0 &&
        rest[rest_length - 1] == u':') {
      --rest_length;
    }
    binding = prefix.binding;
    if (oleport::parse_guid(rest, rest_length, clsid)) return true;
    // The new moniker also takes a ProgID; `rest` runs to the end of `name`.
    return prefix.binding == Binding::kNewInstance && SUCCEEDED(CLSIDFromProgID(rest, &clsid));
  }
  return false;
}

}  // namespace

HRESULT WINAPI CoGetObject(LPCWSTR pszName, BIND_OPTS* /*pBindOptions*/, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (pszName == nullptr || pszName[0] == 0) return E_INVALIDARG;
  if (!oleport::current_thread_in_apartment()) return CO_E_NOTINITIALIZED;
  std::size_t length = 0;
  while (pszName[length] != 0) ++length;
  Binding binding;
  CLSID clsid;
  if (!parse(pszName, length, binding, clsid)) return MK_E_SYNTAX;
  if (binding == Binding::kClassObject) {
    return CoGetClassObject(clsid, CLSCTX_ALL, nullptr, riid, ppv);
  }
  return CoCreateInstance(clsid, nullptr, CLSCTX_ALL, riid, ppv);
}
