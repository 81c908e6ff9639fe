// The portable runtime's own handling of the data it frees (Linux only: the
// platform's allocator is not observable this way).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/com_platform.h"

namespace {

// Makes all but the first page of a new array's data read-only, destroys
// the array and exits: 0 when that went through, the fault's signal when the
// destruction wrote the data.
[[noreturn]] void destroy_read_only_array(VARTYPE vt, ULONG count) {
  SAFEARRAYBOUND bound{count, 0};
  SAFEARRAY* array = SafeArrayCreate(vt, 1, &bound);
  if (array == nullptr) std::_Exit(2);
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto data = reinterpret_cast<std::uintptr_t>(array->pvData);
  const std::uintptr_t begin = ((data + page - 1) & ~(page - 1)) + page;
  const std::uintptr_t end = (data + std::uintptr_t{count} * array->cbElements) & ~(page - 1);
  if (mprotect(reinterpret_cast<void*>(begin), end - begin, PROT_READ) != 0) std::_Exit(3);
  std::_Exit(SafeArrayDestroy(array) == S_OK ? 0 : 4);
}

// Data that is freed is not written first. 8 MB and more, which the C
// library maps on its own.
TEST(SafeArrayStorage, DestroyFreesNumericDataWithoutWritingIt) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const VARTYPE vt : {VT_R8, VT_I4, VT_UI1}) {
    EXPECT_EXIT(destroy_read_only_array(vt, 8u << 20), ::testing::ExitedWithCode(0), "")
        << "vt " << vt;
  }
}

}  // namespace
