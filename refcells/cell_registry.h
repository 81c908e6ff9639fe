// The live by-reference cells: every block RefContainer._calloc made and
// _free has not freed yet, with its size and what the natives last stored in
// it (see OvCellContent): above all whether it holds an object reference
// stored by _setValueForObject, a JNI global reference the cell owns in its
// first pointer-sized bytes. The natives look an address up here before they
// touch it, so that a 0, freed or foreign address is refused without a memory
// access, and an access wider than the cell is refused too.
//
// One mutex guards the table and the cells' contents: an accessor holds it
// for the whole of its load or store, so a _free on another thread waits for
// the access to end instead of freeing the memory under it. The JNI calls
// made under it (global and local references, strings) run no Java code.
//
// A freed address that the allocator hands out again is a live cell once
// more: a stale address is caught only until its memory is reused.
#pragma once

#include <jni.h>

#include <cstddef>
#include <mutex>

// A zeroed cell of size bytes, recorded as live; 0 when memory runs out.
jlong ov_cell_allocate(std::size_t size);

// What an address named, for the natives' refusals.
enum class OvCellLookup {
  kLive,      // a live cell of at least the bytes asked for
  kZero,      // the address is 0
  kNotLive,   // no live cell starts there (freed, or never made by _calloc)
  kTooSmall,  // a live cell with fewer bytes than the access needs
};

// What the natives last stored in a cell. A COM callee writes through a
// by-reference VARIANT without telling: a zeroed or string cell may hold a
// BSTR the callee stored (a RefString's cell), a number cell never does.
enum class OvCellContent {
  kZeroed,  // fresh from _calloc, or its object reference dropped
  kNumber,  // a store of one of the numeric kinds
  kString,  // a store of _setValueForBStrPtr
  kObject,  // an object reference stored by _setValueForObject
};

// One access to a live cell, under the registry lock for the lifetime of the
// object. Test it before use; refuse() throws what a failed lookup deserves.
class OvLiveCell {
 public:
  OvLiveCell(jlong address, std::size_t bytes);
  OvLiveCell(const OvLiveCell&) = delete;
  OvLiveCell& operator=(const OvLiveCell&) = delete;

  explicit operator bool() const { return lookup_ == OvCellLookup::kLive; }
  void* bytes() const { return bytes_; }

  OvCellContent content() const { return *content_; }
  void set_content(OvCellContent content) { *content_ = content; }
  // Stores a global reference in the cell, which owns it from then on (null:
  // the cell is zeroed).
  void hold_object(jobject global);
  // Deletes the global reference the cell holds, if any, before the cell is
  // overwritten; its bytes are zeroed and it holds no reference any more.
  void drop_object(JNIEnv* env);

  // Releases the lock early, before the access throws a refusal of its own;
  // the cell must not be touched afterwards.
  void end();

  // Releases the lock and throws for a failed lookup: NullPointerException
  // for 0, IllegalStateException for an address that is no live cell,
  // IllegalArgumentException for an access the cell is too small for (kind
  // names it).
  void refuse(JNIEnv* env, const char* kind);

 private:
  std::unique_lock<std::mutex> lock_;
  jlong address_;
  std::size_t needed_;
  OvCellLookup lookup_ = OvCellLookup::kNotLive;
  void* bytes_ = nullptr;
  std::size_t size_ = 0;
  OvCellContent* content_ = nullptr;
};

// Removes a live cell from the registry and frees it, deleting the global
// reference it holds (a BSTR it holds is the caller's to free first). 0 does
// nothing; an address that is no live cell frees nothing and throws
// IllegalStateException.
void ov_cell_free(JNIEnv* env, jlong address);

// Live cells, for tests and diagnostics.
std::size_t ov_cell_count();
