// The guard's contract on Windows (run under Wine by the Linux suite): access
// violations inside a guarded call are caught, everything else reaches the
// handlers behind the guard. Prints one line per case; the exit code is the
// number of failed cases.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/av_guard.h"

namespace {

constexpr DWORD kOtherCode = 0xE0000001;

// A vectored handler added last, behind the guard's: it resumes after
// kOtherCode and makes the fix-up page accessible after an access violation
// on it, counting both.
std::atomic<int> g_other_seen{0};
std::atomic<int> g_fixups{0};
volatile int* g_fixup_page = nullptr;

LONG CALLBACK outer_handler(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  if (record.ExceptionCode == kOtherCode) {
    ++g_other_seen;
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  if (record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2 &&
      record.ExceptionInformation[1] == reinterpret_cast<ULONG_PTR>(g_fixup_page)) {
    DWORD old = 0;
    VirtualProtect(const_cast<int*>(g_fixup_page), 4096, PAGE_READWRITE, &old);
    ++g_fixups;
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// Makes the fix-up page inaccessible again and returns how many fix-ups the
// outer handler made since the last call.
int take_fixups() {
  DWORD old = 0;
  VirtualProtect(const_cast<int*>(g_fixup_page), 4096, PAGE_NOACCESS, &old);
  return g_fixups.exchange(0);
}

void touch_fixup_page() {
  *g_fixup_page = 1;
}

// Kept in a variable so the compiler cannot see the address it dereferences.
volatile std::uintptr_t g_low_address = 0x10;

volatile int* low_address() {
  return reinterpret_cast<volatile int*>(g_low_address);
}
void write_low_address(void*) {
  *low_address() = 1;
}
void read_low_address(void*) {
  static_cast<void>(*low_address());
}
void call_garbage_pointer(void*) {
  auto* volatile target = reinterpret_cast<void (*)()>(std::uintptr_t{0x18});
  target();
}
void write_read_only_page(void*) {
  static volatile int* const page = static_cast<volatile int*>(
      VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READONLY));
  *page = 1;
}

struct Fault {
  const char* name;
  void (*call)(void*);
};
const Fault kFaults[] = {
    {"write_low_address", &write_low_address},
    {"read_low_address", &read_low_address},
    {"call_garbage_pointer", &call_garbage_pointer},
    {"write_read_only_page", &write_read_only_page},
};

#define CHECK(condition)                                              \
  do {                                                                \
    if (!(condition)) {                                               \
      std::printf("    %s:%d: %s\n", __FILE__, __LINE__, #condition); \
      return false;                                                   \
    }                                                                 \
  } while (0)

bool returning_call_gives_true() {
  int calls = 0;
  CHECK(ov_av_guard_run([](void* c) { ++*static_cast<int*>(c); }, &calls));
  CHECK(calls == 1);
  return true;
}

bool every_fault_kind_is_caught_before_the_outer_handler() {
  for (const Fault& fault : kFaults) {
    for (int round = 0; round < 3; ++round) {
      if (ov_av_guard_run(fault.call, nullptr)) {
        std::printf("    not caught: %s\n", fault.name);
        return false;
      }
    }
  }
  CHECK(take_fixups() == 0);
  CHECK(g_other_seen.load() == 0);
  return true;
}

bool many_faults_in_a_row() {
  int caught = 0;
  for (int i = 0; i < 1000; ++i) {
    if (!ov_av_guard_run(kFaults[i % 4].call, nullptr)) ++caught;
  }
  CHECK(caught == 1000);
  CHECK(ov_av_guarded([] {}));
  return true;
}

bool other_exception_codes_pass_the_guard() {
  g_other_seen = 0;
  bool resumed = false;
  CHECK(ov_av_guarded([&] {
    RaiseException(kOtherCode, 0, 0, nullptr);
    resumed = true;
  }));
  CHECK(resumed);
  CHECK(g_other_seen.load() == 1);
  return true;
}

bool fault_while_suspended_reaches_the_outer_handler() {
  CHECK(ov_av_guarded([] {
    const OvAvGuardSuspend suspended;
    touch_fixup_page();
  }));
  CHECK(take_fixups() == 1);
  return true;
}

bool no_guard_is_left_after_a_fault_or_an_exception() {
  CHECK(!ov_av_guard_run(&write_low_address, nullptr));
  touch_fixup_page();
  CHECK(take_fixups() == 1);
  bool thrown = false;
  try {
    ov_av_guarded([] { throw std::runtime_error("from the call"); });
  } catch (const std::runtime_error&) {
    thrown = true;
  }
  CHECK(thrown);
  touch_fixup_page();
  CHECK(take_fixups() == 1);
  return true;
}

bool faults_go_to_the_innermost_active_guard() {
  bool inner_caught = false;
  CHECK(ov_av_guarded([&] { inner_caught = !ov_av_guard_run(&write_low_address, nullptr); }));
  CHECK(inner_caught);

  bool inner_returned = false;
  CHECK(!ov_av_guarded([&] {
    inner_returned = ov_av_guarded([] {});
    write_low_address(nullptr);
  }));
  CHECK(inner_returned);

  bool caught_inside_suspension = false;
  CHECK(!ov_av_guarded([&] {
    {
      const OvAvGuardSuspend suspended;
      caught_inside_suspension = !ov_av_guard_run(&write_low_address, nullptr);
    }
    write_low_address(nullptr);
  }));
  CHECK(caught_inside_suspension);
  return true;
}

bool last_error_is_kept() {
  CHECK(ov_av_guarded([] { SetLastError(1234); }));
  CHECK(GetLastError() == 1234);
  // A fault the guard looks at and passes on.
  SetLastError(4321);
  touch_fixup_page();
  CHECK(GetLastError() == 4321);
  CHECK(take_fixups() == 1);
  return true;
}

bool threads_fault_at_the_same_time() {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 300; ++i) {
        const bool faults = (i + t) % 3 != 0;
        const bool returned =
            faults ? ov_av_guard_run(kFaults[i % 4].call, nullptr) : ov_av_guarded([] {});
        if (returned == faults) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  CHECK(wrong.load() == 0);
  return true;
}

#if defined(__i386__)
void* seh_chain_head() {
  void* head;
  __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
}

EXCEPTION_DISPOSITION __cdecl continue_search(EXCEPTION_RECORD*, void*, CONTEXT*, void*) {
  return ExceptionContinueSearch;
}

// A callee that registers an SEH frame of its own and then faults.
void fault_with_seh_frame(void*) {
  struct {
    void* next;
    void* handler;
  } record = {seh_chain_head(), reinterpret_cast<void*>(&continue_search)};
  __asm__ volatile("movl %0, %%fs:0" : : "r"(&record) : "memory");
  write_low_address(nullptr);
}

bool seh_chain_is_restored_after_a_fault() {
  void* const before = seh_chain_head();
  CHECK(!ov_av_guard_run(&fault_with_seh_frame, nullptr));
  CHECK(seh_chain_head() == before);
  return true;
}
#endif

struct Case {
  const char* name;
  bool (*run)();
};

const Case kCases[] = {
    {"returning_call_gives_true", &returning_call_gives_true},
    {"every_fault_kind_is_caught_before_the_outer_handler",
     &every_fault_kind_is_caught_before_the_outer_handler},
    {"many_faults_in_a_row", &many_faults_in_a_row},
    {"other_exception_codes_pass_the_guard", &other_exception_codes_pass_the_guard},
    {"fault_while_suspended_reaches_the_outer_handler",
     &fault_while_suspended_reaches_the_outer_handler},
    {"no_guard_is_left_after_a_fault_or_an_exception",
     &no_guard_is_left_after_a_fault_or_an_exception},
    {"faults_go_to_the_innermost_active_guard", &faults_go_to_the_innermost_active_guard},
    {"last_error_is_kept", &last_error_is_kept},
    {"threads_fault_at_the_same_time", &threads_fault_at_the_same_time},
#if defined(__i386__)
    {"seh_chain_is_restored_after_a_fault", &seh_chain_is_restored_after_a_fault},
#endif
};

}  // namespace

int main() {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  g_fixup_page = static_cast<volatile int*>(
      VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_NOACCESS));
  // Last in the list: behind the guard's handler.
  AddVectoredExceptionHandler(0, &outer_handler);

  int failed = 0;
  for (const Case& c : kCases) {
    const bool passed = c.run();
    std::printf("%s %s\n", passed ? "PASS" : "FAIL", c.name);
    if (!passed) ++failed;
  }
  std::printf("%d of %zu cases failed\n", failed, sizeof kCases / sizeof kCases[0]);
  return failed;
}
