// BSTR allocation: a 4-byte byte count, the text, then a zero code unit.
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "oleport.h"
#include "oleport_testing.h"

namespace {

std::atomic<long> live_bstrs{0};

constexpr std::size_t kPrefix = sizeof(DWORD);

// Allocates room for `bytes` of text plus two terminating zero bytes (the
// second only matters for odd byte counts, which must still end in a zero
// code unit when read as text).
BSTR allocate(const void* source, std::size_t bytes) {
  if (bytes > 0x7ffffff0u) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + 2 * sizeof(OLECHAR)));
  if (block == nullptr) return nullptr;
  const DWORD count = static_cast<DWORD>(bytes);
  std::memcpy(block, &count, kPrefix);
  unsigned char* text = block + kPrefix;
  if (source != nullptr) {
    std::memcpy(text, source, bytes);
  } else {
    std::memset(text, 0, bytes);
  }
  std::memset(text + bytes, 0, 2 * sizeof(OLECHAR));
  live_bstrs.fetch_add(1, std::memory_order_relaxed);
  return reinterpret_cast<BSTR>(text);
}

DWORD byte_count(BSTR s) {
  DWORD count;
  std::memcpy(&count, reinterpret_cast<const unsigned char*>(s) - kPrefix, kPrefix);
  return count;
}

std::size_t units_of(const OLECHAR* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

}  // namespace

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  return allocate(psz, units_of(psz) * sizeof(OLECHAR));
}

BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  return allocate(strIn, std::size_t{ui} * sizeof(OLECHAR));
}

BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) {
  return allocate(psz, len);
}

INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (pbstr == nullptr) return FALSE;
  return SysReAllocStringLen(pbstr, psz, psz == nullptr ? 0 : static_cast<UINT>(units_of(psz)));
}

INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (pbstr == nullptr) return FALSE;
  BSTR fresh = SysAllocStringLen(psz, len);
  if (fresh == nullptr) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void WINAPI SysFreeString(BSTR bstrString) {
  if (bstrString == nullptr) return;
  live_bstrs.fetch_sub(1, std::memory_order_relaxed);
  std::free(reinterpret_cast<unsigned char*>(bstrString) - kPrefix);
}

UINT WINAPI SysStringLen(BSTR pbstr) {
  return pbstr == nullptr ? 0 : byte_count(pbstr) / sizeof(OLECHAR);
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
  return bstr == nullptr ? 0 : byte_count(bstr);
}

long oleport_live_bstr_count(void) {
  return live_bstrs.load(std::memory_order_relaxed);
}
