// The keys of the in-memory registry. A key owns its subkeys (shared, so an
// open handle keeps a deleted key alive) and its values; each is filed under
// its folded name and keeps the name it was created with. Deleting a key
// detaches it from its parent and marks it and everything below deleted.
// None of this locks: the registry functions hold one lock around it.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "oleport.h"

namespace oleport {
namespace registry {

using Name = std::u16string;
using Path = std::vector<Name>;

constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxDepth = 512;

struct Value {
  Name name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  explicit Key(Name key_name) : name(std::move(key_name)) {}
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  Name name;
  std::weak_ptr<Key> parent;
  std::map<Name, std::shared_ptr<Key>> subkeys;  // by folded name
  std::map<Name, Value> values;                  // by folded name; "" is the default value
  bool deleted = false;
};

// `name` with ASCII letters in upper case: the lookup form of key and value
// names.
Name folded(const Name& name);

// The text of a null-terminated name; empty for null.
Name name_of(const OLECHAR* text);

// Splits a relative key path at backslashes into `out`; null is the empty
// path. ERROR_BAD_PATHNAME for a leading backslash, ERROR_INVALID_PARAMETER
// for a component past kMaxKeyNameLength or more than kMaxDepth components;
// empty components are skipped.
LSTATUS parse_path(const OLECHAR* text, Path& out);

// The key `path` below `from`; null when some key on the way is missing.
std::shared_ptr<Key> find(const std::shared_ptr<Key>& from, const Path& path);

// The key `path` below `from`, creating the missing ones; `created` tells
// whether the last one is new. Throws std::bad_alloc.
std::shared_ptr<Key> find_or_create(const std::shared_ptr<Key>& from, const Path& path,
                                    bool& created);

// Deletes every value and subkey of `key` (subkeys marked deleted).
void clear(Key& key);

// Detaches `key` from its parent and marks it and everything below deleted.
// The caller holds a reference to `key`.
void remove(Key& key);

// Keys between `key` and the root it hangs from (1 for a hive's root).
std::size_t depth_of(const Key& key);

}  // namespace registry
}  // namespace oleport
