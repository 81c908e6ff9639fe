#include "refcells/cell_registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

#include "runtime/com_refs.h"
#include "runtime/errors.h"
#include "runtime/handle.h"

namespace {

struct CellRecord {
  std::size_t size;
  OvCellContent content;
};

struct Registry {
  std::mutex mutex;
  std::unordered_map<const void*, CellRecord> cells;
};

// Never destroyed: a cleaner thread may free a cell while the process exits.
Registry& registry() {
  static Registry* r = new Registry();
  return *r;
}

unsigned long long shown(jlong address) {
  return static_cast<unsigned long long>(address);
}

void throw_not_live(JNIEnv* env, jlong address) {
  char message[128];
  std::snprintf(message, sizeof message,
                "%#llx is not a live cell (freed, or not made by RefContainer._calloc)",
                shown(address));
  ov_throw_java_lang(env, "IllegalStateException", message);
}

jobject held_reference(const void* bytes) {
  jobject held;
  std::memcpy(&held, bytes, sizeof held);
  return held;
}

}  // namespace

jlong ov_cell_allocate(std::size_t size) {
  OvMallocPtr<void> block(std::calloc(1, size));
  if (!block) return 0;
  Registry& r = registry();
  try {
    const std::lock_guard<std::mutex> lock(r.mutex);
    // A record left at this address can only be one whose memory was freed
    // behind the registry's back: the new cell replaces it.
    r.cells.insert_or_assign(block.get(), CellRecord{size, OvCellContent::kZeroed});
  } catch (const std::bad_alloc&) {
    return 0;  // _calloc reports a failed allocation by its result alone
  }
  return ov_to_handle(block.release());
}

OvLiveCell::OvLiveCell(jlong address, std::size_t bytes)
    : lock_(registry().mutex, std::defer_lock), address_(address), needed_(bytes) {
  void* start = ov_from_handle<void>(address);
  if (start == nullptr) {
    lookup_ = OvCellLookup::kZero;
    return;
  }
  lock_.lock();
  auto found = registry().cells.find(start);
  if (found == registry().cells.end()) return;  // kNotLive
  size_ = found->second.size;
  if (size_ < bytes) {
    lookup_ = OvCellLookup::kTooSmall;
    return;
  }
  lookup_ = OvCellLookup::kLive;
  bytes_ = start;
  content_ = &found->second.content;
}

void OvLiveCell::hold_object(jobject global) {
  std::memcpy(bytes_, &global, sizeof global);
  *content_ = global != nullptr ? OvCellContent::kObject : OvCellContent::kZeroed;
}

void OvLiveCell::drop_object(JNIEnv* env) {
  if (*content_ != OvCellContent::kObject) return;
  env->DeleteGlobalRef(held_reference(bytes_));
  hold_object(nullptr);
}

void OvLiveCell::end() {
  if (lock_.owns_lock()) lock_.unlock();
  bytes_ = nullptr;
  content_ = nullptr;
}

void OvLiveCell::refuse(JNIEnv* env, const char* kind) {
  end();
  char message[160];
  switch (lookup_) {
    case OvCellLookup::kLive:
      return;
    case OvCellLookup::kZero:
      ov_throw_java_lang(env, "NullPointerException", "the cell address is 0");
      return;
    case OvCellLookup::kNotLive:
      throw_not_live(env, address_);
      return;
    case OvCellLookup::kTooSmall:
      std::snprintf(message, sizeof message,
                    "the cell at %#llx has %zu bytes, too few for a %s value (%zu)",
                    shown(address_), size_, kind, needed_);
      ov_throw_java_lang(env, "IllegalArgumentException", message);
      return;
  }
}

void ov_cell_free(JNIEnv* env, jlong address) {
  void* start = ov_from_handle<void>(address);
  if (start == nullptr) return;
  Registry& r = registry();
  bool live = false;
  CellRecord record{};
  {
    const std::lock_guard<std::mutex> lock(r.mutex);
    auto found = r.cells.find(start);
    if (found != r.cells.end()) {
      live = true;
      record = found->second;
      r.cells.erase(found);
    }
  }
  if (!live) {
    throw_not_live(env, address);
    return;
  }
  // Nobody can reach the cell any more.
  if (record.content == OvCellContent::kObject) env->DeleteGlobalRef(held_reference(start));
  std::free(start);
}

std::size_t ov_cell_count() {
  Registry& r = registry();
  const std::lock_guard<std::mutex> lock(r.mutex);
  return r.cells.size();
}
