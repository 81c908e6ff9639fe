#include "runtime/queued_variant.h"

#include <atomic>
#include <new>

#include "runtime/release_queue.h"

namespace {

// Owns one variant handle's block; created with one reference, which the
// release queue's entry holds.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"  // destroyed by its own Release only
class QueuedVariant final : public IUnknown {
 public:
  explicit QueuedVariant(VARIANT* block) : block_(block) {}
  QueuedVariant(const QueuedVariant&) = delete;
  QueuedVariant& operator=(const QueuedVariant&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) noexcept override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *out = static_cast<IUnknown*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --refs_;
    if (left == 0) {
      if (block_ != nullptr) {
        VariantClear(block_);
        GlobalFree(block_);
      }
      delete this;
    }
    return left;
  }

  // Gives the block back to whoever made the holder; the holder then frees
  // only itself.
  void forget_block() { block_ = nullptr; }

 private:
  ~QueuedVariant() = default;

  VARIANT* block_;
  std::atomic<ULONG> refs_{1};
};
#pragma GCC diagnostic pop

}  // namespace

int ov_release_variant_later(VARIANT* block) {
  auto* holder = new (std::nothrow) QueuedVariant(block);
  if (holder == nullptr) return 0;
  if (!ov_release_queue_add(holder)) {
    holder->forget_block();
    holder->Release();
    return 0;
  }
  return 1;
}
