// SAFEARRAY descriptors, their element storage and element copy rules.
//
// As on Windows, 16 hidden bytes precede every descriptor: the element
// VARTYPE sits in the 4 bytes right before it (FADF_HAVEVARTYPE), or the
// interface id fills all 16 (FADF_HAVEIID). The bounds are stored reversed.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleport.h"
#include "oleport_testing.h"
#include "vartype_table.h"

namespace {

std::atomic<long> live_arrays{0};
std::atomic<long> created_arrays{0};

constexpr std::size_t kHidden = 16;
constexpr USHORT kElementKinds = FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT;
// Storage flags describe where the data lives; copies own theirs.
constexpr USHORT kStorageFlags =
    FADF_AUTO | FADF_STATIC | FADF_EMBEDDED | FADF_FIXEDSIZE | FADF_CREATEVECTOR;

std::size_t descriptor_bytes(UINT dims) {
  return sizeof(SAFEARRAY) + (dims - 1) * sizeof(SAFEARRAYBOUND);
}

unsigned char* hidden_of(SAFEARRAY* psa) {
  return reinterpret_cast<unsigned char*>(psa) - kHidden;
}

void store_vartype(SAFEARRAY* psa, VARTYPE vt) {
  const DWORD value = vt;
  std::memcpy(reinterpret_cast<unsigned char*>(psa) - sizeof(DWORD), &value, sizeof value);
}

DWORD stored_vartype(SAFEARRAY* psa) {
  DWORD value;
  std::memcpy(&value, reinterpret_cast<unsigned char*>(psa) - sizeof(DWORD), sizeof value);
  return value;
}

// Features Windows gives an array of element type `vt`.
USHORT features_for(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT:
      return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN:
      return FADF_HAVEIID | FADF_UNKNOWN;
    case VT_DISPATCH:
      return FADF_HAVEIID | FADF_DISPATCH;
    default:
      return FADF_HAVEVARTYPE;
  }
}

// Total element count, or false when it overflows.
bool element_count(const SAFEARRAY* psa, std::size_t& count) {
  count = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const std::size_t n = psa->rgsabound[d].cElements;
    if (n != 0 && count > std::numeric_limits<std::size_t>::max() / n) return false;
    count *= n;
  }
  return true;
}

// Byte offset of the element at `indices` (indices[0] is the first
// dimension, described by the LAST rgsabound entry; it varies fastest).
bool offset_of(const SAFEARRAY* psa, const LONG* indices, std::size_t& offset) {
  std::size_t element = 0;
  std::size_t stride = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - d];
    const std::int64_t relative = std::int64_t{indices[d]} - bound.lLbound;
    if (relative < 0 || relative >= std::int64_t{bound.cElements}) return false;
    element += static_cast<std::size_t>(relative) * stride;
    stride *= bound.cElements;
  }
  offset = element * psa->cbElements;
  return true;
}

// Storage the array does not own: SafeArrayDestroyData leaves it in place.
constexpr USHORT kForeignStorage = FADF_STATIC | FADF_AUTO | FADF_EMBEDDED;

// Releases what the elements own. Storage that stays behind (foreign
// storage) is zeroed as well; storage about to be freed is not touched
// beyond the releases.
void clear_elements(SAFEARRAY* psa) {
  std::size_t count;
  if (psa->pvData == nullptr || !element_count(psa, count)) return;
  if ((psa->fFeatures & FADF_BSTR) != 0) {
    auto* strings = static_cast<BSTR*>(psa->pvData);
    for (std::size_t i = 0; i < count; ++i) SysFreeString(strings[i]);
  } else if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
    auto* objects = static_cast<IUnknown**>(psa->pvData);
    for (std::size_t i = 0; i < count; ++i) {
      if (objects[i] != nullptr) objects[i]->Release();
    }
  } else if ((psa->fFeatures & FADF_VARIANT) != 0) {
    auto* variants = static_cast<VARIANT*>(psa->pvData);
    for (std::size_t i = 0; i < count; ++i) VariantClear(&variants[i]);
  }
  if ((psa->fFeatures & kForeignStorage) != 0) std::memset(psa->pvData, 0, count * psa->cbElements);
}

// Copies one element from `from` to the (zeroed or cleared) slot `to`.
HRESULT copy_element(USHORT features, ULONG size, const void* from, void* to) {
  if ((features & FADF_BSTR) != 0) {
    BSTR source = *static_cast<const BSTR*>(from);
    BSTR copy = nullptr;
    if (source != nullptr) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    *static_cast<BSTR*>(to) = copy;
  } else if ((features & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
    IUnknown* object = *static_cast<IUnknown* const*>(from);
    if (object != nullptr) object->AddRef();
    *static_cast<IUnknown**>(to) = object;
  } else if ((features & FADF_VARIANT) != 0) {
    auto* target = static_cast<VARIANT*>(to);
    VariantInit(target);
    return VariantCopy(target, static_cast<const VARIANT*>(from));
  } else {
    std::memcpy(to, from, size);
  }
  return S_OK;
}

// Keeps an array locked for the duration of an element operation.
class ScopedArrayLock {
 public:
  explicit ScopedArrayLock(SAFEARRAY* psa) : psa_(psa) { ++psa_->cLocks; }
  ~ScopedArrayLock() { --psa_->cLocks; }
  ScopedArrayLock(const ScopedArrayLock&) = delete;
  ScopedArrayLock& operator=(const ScopedArrayLock&) = delete;

 private:
  SAFEARRAY* psa_;
};

SAFEARRAY* create(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* first_dimension_first,
                  USHORT extra_features) {
  const std::size_t size = oleport::safearray_element_size(vt);
  if (size == 0 || cDims == 0 || first_dimension_first == nullptr) return nullptr;
  SAFEARRAY* psa = nullptr;
  if (FAILED(SafeArrayAllocDescriptor(cDims, &psa))) return nullptr;
  psa->cbElements = static_cast<ULONG>(size);
  psa->fFeatures = static_cast<USHORT>(features_for(vt) | extra_features);
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    std::memcpy(hidden_of(psa), vt == VT_UNKNOWN ? &IID_IUnknown : &IID_IDispatch, sizeof(GUID));
  } else {
    store_vartype(psa, vt);
  }
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = first_dimension_first[d];
  if (FAILED(SafeArrayAllocData(psa))) {
    SafeArrayDestroyDescriptor(psa);
    return nullptr;
  }
  return psa;
}

}  // namespace

SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  return create(vt, cDims, rgsabound, 0);
}

SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  const SAFEARRAYBOUND bound{cElements, lLbound};
  return create(vt, 1, &bound, FADF_CREATEVECTOR);
}

HRESULT WINAPI SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr || cDims == 0 || cDims > 65536) return E_INVALIDARG;
  const std::size_t bytes = kHidden + descriptor_bytes(cDims);
  auto* block = static_cast<unsigned char*>(std::calloc(1, bytes));
  if (block == nullptr) return E_OUTOFMEMORY;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHidden);
  psa->cDims = static_cast<USHORT>(cDims);
  *ppsaOut = psa;
  live_arrays.fetch_add(1, std::memory_order_relaxed);
  created_arrays.fetch_add(1, std::memory_order_relaxed);
  return S_OK;
}

HRESULT WINAPI SafeArrayAllocData(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  std::size_t count;
  if (!element_count(psa, count) ||
      (psa->cbElements != 0 && count > std::numeric_limits<std::size_t>::max() / psa->cbElements)) {
    return E_OUTOFMEMORY;
  }
  // Even an empty array gets a data block, as on Windows.
  void* data = std::calloc(count == 0 ? 1 : count, psa->cbElements == 0 ? 1 : psa->cbElements);
  if (data == nullptr) return E_OUTOFMEMORY;
  psa->pvData = data;
  return S_OK;
}

HRESULT WINAPI SafeArrayDestroyData(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  clear_elements(psa);
  if ((psa->fFeatures & kForeignStorage) == 0) {
    std::free(psa->pvData);
    psa->pvData = nullptr;
  }
  return S_OK;
}

HRESULT WINAPI SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  live_arrays.fetch_sub(1, std::memory_order_relaxed);
  std::free(hidden_of(psa));
  return S_OK;
}

HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  SafeArrayDestroyData(psa);
  return SafeArrayDestroyDescriptor(psa);
}

UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa) {
  return psa == nullptr ? 0 : psa->cDims;
}

UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa) {
  return psa == nullptr ? 0 : psa->cbElements;
}

HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(std::int64_t{bound.lLbound} + bound.cElements - 1);
  return S_OK;
}

HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks >= 0xffff) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
  const HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa) {
  return SafeArrayUnlock(psa);
}

HRESULT WINAPI SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (psa == nullptr || rgIndices == nullptr || ppvData == nullptr) return E_INVALIDARG;
  std::size_t offset;
  if (!offset_of(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  *ppvData = static_cast<unsigned char*>(psa->pvData) + offset;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
  std::size_t offset;
  if (!offset_of(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  ScopedArrayLock lock(psa);
  const void* element = static_cast<unsigned char*>(psa->pvData) + offset;
  return copy_element(psa->fFeatures, psa->cbElements, element, pv);
}

HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr) return E_INVALIDARG;
  std::size_t offset;
  if (!offset_of(psa, rgIndices, offset)) return DISP_E_BADINDEX;
  ScopedArrayLock lock(psa);
  void* element = static_cast<unsigned char*>(psa->pvData) + offset;
  if ((psa->fFeatures & FADF_BSTR) != 0) {
    // The BSTR itself is passed; a null one is stored as an empty string.
    auto source = static_cast<BSTR>(pv);
    BSTR copy = SysAllocStringLen(source, SysStringLen(source));
    if (copy == nullptr) return E_OUTOFMEMORY;
    auto* slot = static_cast<BSTR*>(element);
    SysFreeString(*slot);
    *slot = copy;
    return S_OK;
  }
  if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) != 0) {
    // The interface pointer itself is passed.
    auto* object = static_cast<IUnknown*>(pv);
    if (object != nullptr) object->AddRef();
    auto* slot = static_cast<IUnknown**>(element);
    if (*slot != nullptr) (*slot)->Release();
    *slot = object;
    return S_OK;
  }
  if (pv == nullptr) return E_INVALIDARG;
  if ((psa->fFeatures & FADF_VARIANT) != 0) {
    return VariantCopy(static_cast<VARIANT*>(element), static_cast<const VARIANT*>(pv));
  }
  std::memcpy(element, pv, psa->cbElements);
  return S_OK;
}

HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (psa == nullptr) return S_OK;
  SAFEARRAY* copy = nullptr;
  HRESULT hr = SafeArrayAllocDescriptor(psa->cDims, &copy);
  if (FAILED(hr)) return hr;
  std::memcpy(hidden_of(copy), hidden_of(psa), kHidden + descriptor_bytes(psa->cDims));
  copy->fFeatures = static_cast<USHORT>(psa->fFeatures & ~kStorageFlags);
  copy->cLocks = 0;
  copy->pvData = nullptr;
  hr = SafeArrayAllocData(copy);
  if (FAILED(hr)) {
    SafeArrayDestroyDescriptor(copy);
    return hr;
  }
  std::size_t count;
  element_count(psa, count);
  const auto* from = static_cast<const unsigned char*>(psa->pvData);
  auto* to = static_cast<unsigned char*>(copy->pvData);
  if ((psa->fFeatures & kElementKinds) == 0) {
    if (count != 0) std::memcpy(to, from, count * psa->cbElements);
  } else {
    for (std::size_t i = 0; i < count && SUCCEEDED(hr); ++i) {
      hr = copy_element(psa->fFeatures, psa->cbElements, from + i * psa->cbElements,
                        to + i * psa->cbElements);
    }
  }
  if (FAILED(hr)) {
    SafeArrayDestroy(copy);
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
  const USHORT features = psa->fFeatures;
  if ((features & FADF_RECORD) != 0) {
    *pvt = VT_RECORD;
  } else if ((features & FADF_HAVEIID) != 0) {
    *pvt = (features & FADF_DISPATCH) != 0 ? VT_DISPATCH : VT_UNKNOWN;
  } else if ((features & FADF_HAVEVARTYPE) != 0) {
    *pvt = static_cast<VARTYPE>(stored_vartype(psa));
  } else if ((features & FADF_BSTR) != 0) {
    *pvt = VT_BSTR;
  } else if ((features & FADF_UNKNOWN) != 0) {
    *pvt = VT_UNKNOWN;
  } else if ((features & FADF_DISPATCH) != 0) {
    *pvt = VT_DISPATCH;
  } else if ((features & FADF_VARIANT) != 0) {
    *pvt = VT_VARIANT;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

HRESULT WINAPI SafeArrayGetIID(SAFEARRAY* psa, GUID* pguid) {
  if (psa == nullptr || pguid == nullptr || (psa->fFeatures & FADF_HAVEIID) == 0) {
    return E_INVALIDARG;
  }
  std::memcpy(pguid, hidden_of(psa), sizeof(GUID));
  return S_OK;
}

long oleport_live_safearray_count(void) {
  return live_arrays.load(std::memory_order_relaxed);
}

long oleport_created_safearray_count(void) {
  return created_arrays.load(std::memory_order_relaxed);
}
