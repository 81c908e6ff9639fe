// Registry helpers for the conformance cases: an owner that closes its key,
// and string values written and read in one call.
#pragma once

#include <string>
#include <vector>

#include "platform/com_platform.h"

namespace conformance {

using OleString = std::basic_string<OLECHAR>;

class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { reset(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  HKEY get() const { return key_; }
  // Closes what the owner holds and hands out the slot for a new key.
  HKEY* put() {
    reset();
    return &key_;
  }
  void reset() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

inline DWORD string_bytes(const OLECHAR* text) {
  return static_cast<DWORD>((OleString(text).size() + 1) * sizeof(OLECHAR));
}

// Creates root\path as needed and sets its value `name` (null: the default
// value) to the REG_SZ `text`.
inline LSTATUS write_string(HKEY root, const OLECHAR* path, const OLECHAR* name,
                            const OLECHAR* text) {
  ScopedKey key;
  const LSTATUS status = RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, nullptr, key.put(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                        string_bytes(text));
}

// Reads the string value `name` (null: the default value) of root\path.
inline LSTATUS read_string(HKEY root, const OLECHAR* path, const OLECHAR* name, OleString& text) {
  ScopedKey key;
  LSTATUS status = RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, key.put());
  if (status != ERROR_SUCCESS) return status;
  std::vector<OLECHAR> buffer(256, 0);
  DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(OLECHAR));
  status = RegQueryValueExW(key.get(), name, nullptr, nullptr,
                            reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (status == ERROR_SUCCESS) text.assign(buffer.data());
  return status;
}

}  // namespace conformance
