// What the conformance cases may ask of the platform beyond its public API:
// live-object accounting (the portable runtime counts BSTRs, SAFEARRAYs,
// registrations, open registry keys and task-memory blocks; Windows does not, so there the checks
// are no-ops) and whether the cases run under Wine.
#pragma once

#include <gtest/gtest.h>

#include "platform/com_platform.h"

#if !defined(_WIN32)
#include "oleport_testing.h"
#endif

namespace conformance {

struct LiveCounts {
  long bstrs = 0;
  long safearrays = 0;
  long classes = 0;
  long running = 0;
  long keys = 0;
  long task_memory = 0;

  static LiveCounts now() {
#if defined(_WIN32)
    return {};
#else
    return {oleport_live_bstr_count(),        oleport_live_safearray_count(),
            oleport_registered_class_count(), oleport_running_object_count(),
            oleport_open_key_count(),         oleport_live_task_memory_count()};
#endif
  }
};

// Fails the current test when it ends with more or fewer live BSTRs,
// SAFEARRAYs, class registrations, running objects, open registry keys or
// task-memory blocks than
// it started with.
class LeakCheck {
 public:
  LeakCheck() : before_(LiveCounts::now()) {}
  ~LeakCheck() {
    const LiveCounts after = LiveCounts::now();
    EXPECT_EQ(after.bstrs, before_.bstrs) << "BSTRs leaked or freed twice";
    EXPECT_EQ(after.safearrays, before_.safearrays) << "SAFEARRAYs leaked or freed twice";
    EXPECT_EQ(after.classes, before_.classes) << "class registrations left behind";
    EXPECT_EQ(after.running, before_.running) << "running objects left behind";
    EXPECT_EQ(after.keys, before_.keys) << "registry keys left open";
    EXPECT_EQ(after.task_memory, before_.task_memory) << "task memory leaked or freed twice";
  }
  LeakCheck(const LeakCheck&) = delete;
  LeakCheck& operator=(const LeakCheck&) = delete;

 private:
  LiveCounts before_;
};

// Fixture base for cases that check they leave nothing behind.
class LeakCheckedTest : public ::testing::Test {
 private:
  LeakCheck leaks_;
};

inline bool running_under_wine() {
#if defined(_WIN32)
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace conformance
