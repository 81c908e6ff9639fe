// GlobalAlloc and friends for fixed blocks, whose handle is their address.
#include <cstdlib>

#include "oleport.h"

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if ((uFlags & GMEM_MOVEABLE) != 0) return nullptr;
  const SIZE_T bytes = dwBytes == 0 ? 1 : dwBytes;
  return (uFlags & GMEM_ZEROINIT) != 0 ? std::calloc(1, bytes) : std::malloc(bytes);
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
  std::free(hMem);
  return nullptr;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
  return hMem;
}

BOOL WINAPI GlobalUnlock(HGLOBAL /*hMem*/) {
  return TRUE;
}
