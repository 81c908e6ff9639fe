// Foreign calls that fault, for the guard's tests on POSIX systems, and the
// pages they fault on.
#pragma once

#include <signal.h>
#include <sys/mman.h>

#include <cstddef>

// One page of memory with a chosen protection, unmapped on destruction.
class TestPage {
 public:
  explicit TestPage(int protection);
  ~TestPage();
  TestPage(const TestPage&) = delete;
  TestPage& operator=(const TestPage&) = delete;

  volatile int* data() const { return static_cast<volatile int*>(base_); }
  void protect(int protection) const;
  static std::size_t size();

 private:
  void* base_;
};

// A page mapped from an empty file: touching it raises SIGBUS.
class PastEndOfFilePage {
 public:
  PastEndOfFilePage();
  ~PastEndOfFilePage();
  PastEndOfFilePage(const PastEndOfFilePage&) = delete;
  PastEndOfFilePage& operator=(const PastEndOfFilePage&) = delete;

  volatile int* data() const { return static_cast<volatile int*>(base_); }

 private:
  void* base_;
};

// A way for a foreign call to fault. The call's context is ignored.
struct FaultKind {
  const char* name;
  int signal;
  void (*call)(void* context);
};

// Writes and reads at a low address, writes to a read-only page, calls
// through a garbage function pointer, reads past the end of a mapped file.
extern const FaultKind kFaultKinds[];
extern const std::size_t kFaultKindCount;

// The write-at-a-low-address fault on its own.
void write_low_address(void* context);

// True when sig is blocked on the calling thread.
bool signal_blocked(int sig);
