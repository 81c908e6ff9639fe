// RegCreateKeyExW, RegOpenKeyExW, RegCloseKey, RegDeleteKeyW, RegDeleteTreeW
// and the value functions over the two in-memory hives. An open key is a
// number filed in a table, never a pointer, so a closed or made-up handle is
// refused instead of followed. A key reached through HKEY_CLASSES_ROOT is
// kept as its path below Software\Classes and looked up in the user's hive,
// then the machine's, at every call: the merged view.
#include <cstdint>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <mutex>
#include <unordered_map>

#include "oleport.h"
#include "oleport_testing.h"
#include "registry_tree.h"

namespace {

using oleport::registry::Key;
using oleport::registry::Name;
using oleport::registry::Path;
namespace tree = oleport::registry;

// What an open key refers to.
struct Target {
  bool classes_view = false;
  std::shared_ptr<Key> key;  // outside the view: the key itself
  Path path;                 // in the view: the path below Software\Classes
  REGSAM access = 0;
};

const Path& classes_path() {
  static const Path path{u"Software", u"Classes"};
  return path;
}

std::shared_ptr<Key> make_hive() {
  auto root = std::make_shared<Key>(Name());
  bool created = false;
  tree::find_or_create(root, classes_path(), created);
  return root;
}

constexpr std::uintptr_t kFirstHandle = 0x1000;
constexpr std::uintptr_t kHandleStep = 4;

struct Registry {
  std::mutex mutex;  // guards everything below
  std::shared_ptr<Key> user = make_hive();
  std::shared_ptr<Key> machine = make_hive();
  Target classes_root{true, nullptr, {}, KEY_ALL_ACCESS};
  Target user_root{false, user, {}, KEY_ALL_ACCESS};
  Target machine_root{false, machine, {}, KEY_ALL_ACCESS};
  std::unordered_map<std::uintptr_t, Target> open;
  std::uintptr_t next_handle = kFirstHandle;
};

// Never destroyed: code running at process exit may still close its keys.
Registry& registry() {
  static Registry* instance = new Registry();
  return *instance;
}

bool is_predefined(HKEY handle) {
  return handle == HKEY_CLASSES_ROOT || handle == HKEY_CURRENT_USER || handle == HKEY_LOCAL_MACHINE;
}

// The target of `handle`; null when it is neither predefined nor open.
const Target* target_of(Registry& r, HKEY handle) {
  if (handle == HKEY_CLASSES_ROOT) return &r.classes_root;
  if (handle == HKEY_CURRENT_USER) return &r.user_root;
  if (handle == HKEY_LOCAL_MACHINE) return &r.machine_root;
  const auto found = r.open.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == r.open.end() ? nullptr : &found->second;
}

std::shared_ptr<Key> classes_of(const std::shared_ptr<Key>& hive) {
  return tree::find(hive, classes_path());
}

// The key the merged view shows at `path`: the user's, else the machine's.
std::shared_ptr<Key> view_key(Registry& r, const Path& path) {
  for (const std::shared_ptr<Key>& hive : {r.user, r.machine}) {
    std::shared_ptr<Key> classes = classes_of(hive);
    if (classes == nullptr) continue;
    if (std::shared_ptr<Key> key = tree::find(classes, path)) return key;
  }
  return nullptr;
}

// The key `target` refers to now; null when it has been deleted.
std::shared_ptr<Key> key_of(Registry& r, const Target& target) {
  if (target.classes_view) return view_key(r, target.path);
  return target.key->deleted ? nullptr : target.key;
}

Path joined(const Path& base, const Path& rest) {
  Path path = base;
  path.insert(path.end(), rest.begin(), rest.end());
  return path;
}

REGSAM effective_access(REGSAM desired) {
  REGSAM access = desired & ~static_cast<REGSAM>(KEY_WOW64_64KEY | KEY_WOW64_32KEY);
  if ((desired & (MAXIMUM_ALLOWED | GENERIC_ALL)) != 0) access |= KEY_ALL_ACCESS;
  if ((desired & GENERIC_READ) != 0) access |= KEY_READ;
  if ((desired & GENERIC_WRITE) != 0) access |= KEY_WRITE;
  if ((desired & GENERIC_EXECUTE) != 0) access |= KEY_EXECUTE;
  return access;
}

bool allows(const Target& target, REGSAM right) {
  return (target.access & right) == right;
}

// Opens the existing key `rest` below `base` into `out`.
LSTATUS open_below(Registry& r, const Target& base, const Path& rest, REGSAM access, Target& out) {
  const std::shared_ptr<Key> base_key = key_of(r, base);
  if (base_key == nullptr) return ERROR_KEY_DELETED;
  out.access = access;
  out.classes_view = base.classes_view;
  if (base.classes_view) {
    out.path = joined(base.path, rest);
    return view_key(r, out.path) != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  }
  out.key = tree::find(base_key, rest);
  return out.key != nullptr ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Opens `rest` below `base` into `out`, creating what is missing: in the
// merged view, in the machine's Software\Classes.
LSTATUS create_below(Registry& r, const Target& base, const Path& rest, REGSAM access, Target& out,
                     bool& created) {
  created = false;
  const LSTATUS opened = open_below(r, base, rest, access, out);
  if (opened != ERROR_FILE_NOT_FOUND) return opened;
  std::shared_ptr<Key> from;
  const Path* below;
  if (base.classes_view) {
    bool classes_created = false;
    from = tree::find_or_create(r.machine, classes_path(), classes_created);
    below = &out.path;
  } else {
    from = key_of(r, base);
    below = &rest;
  }
  if (tree::depth_of(*from) + below->size() > tree::kMaxDepth) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> key = tree::find_or_create(from, *below, created);
  if (!base.classes_view) out.key = std::move(key);
  return ERROR_SUCCESS;
}

HKEY add_handle(Registry& r, Target target) {
  const std::uintptr_t id = r.next_handle;
  r.open.emplace(id, std::move(target));
  r.next_handle += kHandleStep;
  return reinterpret_cast<HKEY>(id);
}

// The key `hKey` refers to, for a call that writes or deletes its values.
LSTATUS writable_key(Registry& r, HKEY hKey, std::shared_ptr<Key>& key) {
  const Target* target = target_of(r, hKey);
  if (target == nullptr) return ERROR_INVALID_HANDLE;
  key = key_of(r, *target);
  if (key == nullptr) return ERROR_KEY_DELETED;
  return allows(*target, KEY_SET_VALUE) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool is_string_type(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Every registry function runs its body here: no C++ exception leaves the
// runtime, running out of memory is reported as the platform reports it.
template <typename Body>
LSTATUS guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::exception&) {
    return ERROR_OUTOFMEMORY;
  }
}

}  // namespace

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*Reserved*/, LPWSTR /*lpClass*/,
                               DWORD /*dwOptions*/, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const Target* base = target_of(r, hKey);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    Path rest;
    LSTATUS status = tree::parse_path(lpSubKey, rest);
    if (status != ERROR_SUCCESS) return status;
    Target target;
    bool created = false;
    status = create_below(r, *base, rest, effective_access(samDesired), target, created);
    if (status != ERROR_SUCCESS) return status;
    *phkResult = add_handle(r, std::move(target));
    if (lpdwDisposition != nullptr) {
      *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                             PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const Target* base = target_of(r, hKey);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    if ((lpSubKey == nullptr || lpSubKey[0] == 0) && is_predefined(hKey)) {
      *phkResult = hKey;
      return ERROR_SUCCESS;
    }
    Path rest;
    LSTATUS status = tree::parse_path(lpSubKey, rest);
    if (status != ERROR_SUCCESS) return status;
    Target target;
    status = open_below(r, *base, rest, effective_access(samDesired), target);
    if (status != ERROR_SUCCESS) return status;
    *phkResult = add_handle(r, std::move(target));
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  if (is_predefined(hKey)) return ERROR_SUCCESS;
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.mutex);
  return r.open.erase(reinterpret_cast<std::uintptr_t>(hKey)) == 1 ? ERROR_SUCCESS
                                                                   : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const Target* base = target_of(r, hKey);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    Path rest;
    LSTATUS status = tree::parse_path(lpSubKey, rest);
    if (status != ERROR_SUCCESS) return status;
    if (rest.empty() && is_predefined(hKey)) return ERROR_ACCESS_DENIED;
    Target target;
    status = open_below(r, *base, rest, 0, target);
    if (status != ERROR_SUCCESS) return status;
    const std::shared_ptr<Key> key = key_of(r, target);
    if (key == nullptr) return ERROR_KEY_DELETED;
    // Hive roots stand for the predefined keys and are never deleted.
    if (!key->subkeys.empty() || key->parent.expired()) return ERROR_ACCESS_DENIED;
    tree::remove(*key);
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const Target* base = target_of(r, hKey);
    if (base == nullptr) return ERROR_INVALID_HANDLE;
    if (lpSubKey == nullptr) {
      const std::shared_ptr<Key> key = key_of(r, *base);
      if (key == nullptr) return ERROR_KEY_DELETED;
      tree::clear(*key);
      return ERROR_SUCCESS;
    }
    Path rest;
    LSTATUS status = tree::parse_path(lpSubKey, rest);
    if (status != ERROR_SUCCESS) return status;
    if (rest.empty() && is_predefined(hKey)) return ERROR_ACCESS_DENIED;
    Target target;
    status = open_below(r, *base, rest, 0, target);
    if (status != ERROR_SUCCESS) return status;
    const std::shared_ptr<Key> key = key_of(r, target);
    if (key == nullptr) return ERROR_KEY_DELETED;
    if (key->parent.expired()) return ERROR_ACCESS_DENIED;
    tree::remove(*key);
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    std::shared_ptr<Key> key;
    const LSTATUS status = writable_key(r, hKey, key);
    if (status != ERROR_SUCCESS) return status;
    if (lpData == nullptr && cbData > 0) return ERROR_NOACCESS;
    tree::Value value;
    value.name = tree::name_of(lpValueName);
    if (value.name.size() > tree::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    value.type = dwType;
    if (cbData > 0) value.data.assign(lpData, lpData + cbData);
    Name lookup = tree::folded(value.name);
    key->values[std::move(lookup)] = std::move(value);
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const Target* target = target_of(r, hKey);
    if (target == nullptr) return ERROR_INVALID_HANDLE;
    const std::shared_ptr<Key> key = key_of(r, *target);
    if (key == nullptr) return ERROR_KEY_DELETED;
    if (!allows(*target, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    const auto found = key->values.find(tree::folded(tree::name_of(lpValueName)));
    if (found == key->values.end()) return ERROR_FILE_NOT_FOUND;
    const tree::Value& value = found->second;
    const auto size = static_cast<DWORD>(value.data.size());
    if (lpType != nullptr) *lpType = value.type;
    if (lpData != nullptr) {
      const DWORD room = *lpcbData;
      *lpcbData = size;
      if (room < size) return ERROR_MORE_DATA;
      if (size > 0) std::memcpy(lpData, value.data.data(), size);
      // NT terminates a string stored without its zero when the buffer has
      // room for one more unit.
      OLECHAR last = 0;
      if (is_string_type(value.type) && size >= sizeof last && size % sizeof last == 0 &&
          room - size >= sizeof last) {
        std::memcpy(&last, lpData + size - sizeof last, sizeof last);
        if (last != 0) std::memset(lpData + size, 0, sizeof last);
      }
    } else if (lpcbData != nullptr) {
      *lpcbData = size;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  return guarded([&]() -> LSTATUS {
    Registry& r = registry();
    std::lock_guard<std::mutex> hold(r.mutex);
    std::shared_ptr<Key> key;
    const LSTATUS status = writable_key(r, hKey, key);
    if (status != ERROR_SUCCESS) return status;
    return key->values.erase(tree::folded(tree::name_of(lpValueName))) == 1 ? ERROR_SUCCESS
                                                                            : ERROR_FILE_NOT_FOUND;
  });
}

long oleport_open_key_count(void) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.mutex);
  return static_cast<long>(r.open.size());
}
