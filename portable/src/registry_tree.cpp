#include "registry_tree.h"

namespace oleport {
namespace registry {
namespace {

// Recursive without allocating, so it cannot fail half-way; keys are at most
// kMaxDepth deep.
void mark_deleted(Key& key) noexcept {
  key.deleted = true;
  key.values.clear();
  for (auto& entry : key.subkeys) mark_deleted(*entry.second);
}

}  // namespace

Name folded(const Name& name) {
  Name result = name;
  for (char16_t& c : result) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return result;
}

Name name_of(const OLECHAR* text) {
  return text == nullptr ? Name() : Name(text);
}

LSTATUS parse_path(const OLECHAR* text, Path& out) {
  out.clear();
  if (text == nullptr) return ERROR_SUCCESS;
  if (text[0] == u'\\') return ERROR_BAD_PATHNAME;
  const OLECHAR* start = text;
  for (const OLECHAR* p = text;; ++p) {
    if (*p != u'\\' && *p != 0) continue;
    const auto length = static_cast<std::size_t>(p - start);
    if (length > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    if (length > 0) {
      if (out.size() == kMaxDepth) return ERROR_INVALID_PARAMETER;
      out.emplace_back(start, length);
    }
    if (*p == 0) return ERROR_SUCCESS;
    start = p + 1;
  }
}

std::shared_ptr<Key> find(const std::shared_ptr<Key>& from, const Path& path) {
  std::shared_ptr<Key> key = from;
  for (const Name& name : path) {
    const auto found = key->subkeys.find(folded(name));
    if (found == key->subkeys.end()) return nullptr;
    key = found->second;
  }
  return key;
}

std::shared_ptr<Key> find_or_create(const std::shared_ptr<Key>& from, const Path& path,
                                    bool& created) {
  created = false;
  std::shared_ptr<Key> key = from;
  for (const Name& name : path) {
    Name lookup = folded(name);
    const auto found = key->subkeys.find(lookup);
    if (found != key->subkeys.end()) {
      key = found->second;
      created = false;
      continue;
    }
    auto child = std::make_shared<Key>(name);
    child->parent = key;
    key->subkeys.emplace(std::move(lookup), child);
    key = std::move(child);
    created = true;
  }
  return key;
}

void clear(Key& key) {
  key.values.clear();
  for (auto& entry : key.subkeys) mark_deleted(*entry.second);
  key.subkeys.clear();
}

void remove(Key& key) {
  const Name lookup = folded(key.name);
  if (std::shared_ptr<Key> parent = key.parent.lock()) parent->subkeys.erase(lookup);
  mark_deleted(key);
}

std::size_t depth_of(const Key& key) {
  std::size_t depth = 1;
  for (std::shared_ptr<Key> up = key.parent.lock(); up != nullptr; up = up->parent.lock()) ++depth;
  return depth;
}

}  // namespace registry
}  // namespace oleport
