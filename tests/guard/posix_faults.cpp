#include "posix_faults.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void fail(const char* what) {
  std::perror(what);
  std::abort();
}

// Kept in a variable so the compiler cannot see the address it dereferences.
volatile std::uintptr_t g_low_address = 0x10;

volatile int* low_address() {
  return reinterpret_cast<volatile int*>(g_low_address);
}

void read_low_address(void*) {
  static_cast<void>(*low_address());
}

void write_read_only_page(void*) {
  static const TestPage page(PROT_READ);
  *page.data() = 1;
}

void call_garbage_pointer(void*) {
  // What a call through a released object's vtable looks like.
  auto* volatile target = reinterpret_cast<void (*)()>(std::uintptr_t{0x18});
  target();
}

void read_past_end_of_file(void*) {
  static const PastEndOfFilePage page;
  static_cast<void>(*page.data());
}

}  // namespace

void write_low_address(void*) {
  *low_address() = 1;
}

const FaultKind kFaultKinds[] = {
    {"write_low_address", SIGSEGV, &write_low_address},
    {"read_low_address", SIGSEGV, &read_low_address},
    {"write_read_only_page", SIGSEGV, &write_read_only_page},
    {"call_garbage_pointer", SIGSEGV, &call_garbage_pointer},
    {"read_past_end_of_file", SIGBUS, &read_past_end_of_file},
};
const std::size_t kFaultKindCount = sizeof(kFaultKinds) / sizeof(kFaultKinds[0]);

std::size_t TestPage::size() {
  return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

TestPage::TestPage(int protection)
    : base_(mmap(nullptr, size(), protection, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {
  if (base_ == MAP_FAILED) fail("mmap");
}

TestPage::~TestPage() {
  munmap(base_, size());
}

void TestPage::protect(int protection) const {
  if (mprotect(base_, size(), protection) != 0) fail("mprotect");
}

PastEndOfFilePage::PastEndOfFilePage() {
  const int fd = memfd_create("guard-test-empty", 0);
  if (fd < 0) fail("memfd_create");
  base_ = mmap(nullptr, TestPage::size(), PROT_READ, MAP_SHARED, fd, 0);
  close(fd);
  if (base_ == MAP_FAILED) fail("mmap");
}

PastEndOfFilePage::~PastEndOfFilePage() {
  munmap(base_, TestPage::size());
}

bool signal_blocked(int sig) {
  sigset_t mask;
  pthread_sigmask(SIG_BLOCK, nullptr, &mask);
  return sigismember(&mask, sig) == 1;
}
