#include "testserver/access_violation.h"

#include <cstdint>

namespace {
// Volatile so that neither the address nor the write can be folded away.
volatile std::uintptr_t g_invalid_address = 16;
}  // namespace

void raise_access_violation() {
  *reinterpret_cast<volatile int*>(g_invalid_address) = 0;
}
