// Faults inside guarded calls: caught, repeatable, nestable, per thread.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "case_name.h"
#include "platform/av_guard.h"
#include "posix_faults.h"

namespace {

class GuardCatches : public ::testing::TestWithParam<FaultKind> {};

TEST_P(GuardCatches, EveryFaultAndLeavesTheSignalsUnblocked) {
  const FaultKind& kind = GetParam();
  // The handler runs with the signal blocked; a second and third fault are
  // only caught when the guard lifted that again.
  for (int round = 0; round < 3; ++round) {
    EXPECT_FALSE(ov_av_guard_run(kind.call, nullptr)) << "round " << round;
    EXPECT_FALSE(signal_blocked(SIGSEGV));
    EXPECT_FALSE(signal_blocked(SIGBUS));
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, GuardCatches,
                         ::testing::ValuesIn(kFaultKinds, kFaultKinds + kFaultKindCount),
                         CaseName());

TEST(Guard, ReturningCallRunsOnceWithItsContext) {
  int calls = 0;
  EXPECT_TRUE(ov_av_guard_run([](void* c) { ++*static_cast<int*>(c); }, &calls));
  EXPECT_EQ(calls, 1);
}

TEST(Guard, ManyFaultsInARowThenAReturningCall) {
  int caught = 0;
  for (int i = 0; i < 1000; ++i) {
    if (!ov_av_guard_run(kFaultKinds[i % kFaultKindCount].call, nullptr)) ++caught;
  }
  EXPECT_EQ(caught, 1000);
  EXPECT_TRUE(ov_av_guarded([] {}));
}

TEST(Guard, ExceptionLeavesTheGuardedCallAndTheNextFaultIsStillCaught) {
  EXPECT_THROW(ov_av_guarded([] { throw std::runtime_error("from the call"); }),
               std::runtime_error);
  EXPECT_FALSE(ov_av_guard_run(&write_low_address, nullptr));
}

// Each case runs an outer guarded call; `reached` proves the outer call went
// on after the inner part.
struct NestingCase {
  const char* name;
  bool (*run)(bool& reached);
  bool outer_result;
};

const NestingCase kNestingCases[] = {
    {"inner_guard_catches_outer_continues",
     [](bool& reached) {
       return ov_av_guarded([&] { reached = !ov_av_guard_run(&write_low_address, nullptr); });
     },
     true},
    {"fault_after_inner_guard_is_the_outer_ones",
     [](bool& reached) {
       return ov_av_guarded([&] {
         reached = ov_av_guarded([] {});
         write_low_address(nullptr);
       });
     },
     false},
    {"guard_inside_suspension_catches",
     [](bool& reached) {
       return ov_av_guarded([&] {
         const OvAvGuardSuspend suspended;
         reached = !ov_av_guard_run(&write_low_address, nullptr);
       });
     },
     true},
    {"suspension_ends_and_outer_guard_is_back",
     [](bool& reached) {
       return ov_av_guarded([&] {
         {
           const OvAvGuardSuspend suspended;
           reached = !ov_av_guard_run(&write_low_address, nullptr);
         }
         write_low_address(nullptr);
       });
     },
     false},
    {"three_levels",
     [](bool& reached) {
       return ov_av_guarded([&] {
         const bool middle = ov_av_guarded([&] {
           reached = !ov_av_guard_run(&write_low_address, nullptr);
           write_low_address(nullptr);
         });
         reached = reached && !middle;
       });
     },
     true},
};

class GuardNesting : public ::testing::TestWithParam<NestingCase> {};

TEST_P(GuardNesting, FaultGoesToTheInnermostActiveGuard) {
  bool reached = false;
  EXPECT_EQ(GetParam().run(reached), GetParam().outer_result);
  EXPECT_TRUE(reached);
  EXPECT_FALSE(signal_blocked(SIGSEGV));
}

INSTANTIATE_TEST_SUITE_P(Cases, GuardNesting, ::testing::ValuesIn(kNestingCases), CaseName());

TEST(Guard, ThreadsFaultingAtTheSameTimeEachGetTheirOwnResult) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 400;
  std::atomic<int> wrong{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kCalls; ++i) {
        const bool faults = (i + t) % 3 != 0;
        const bool returned = faults
                                  ? ov_av_guard_run(kFaultKinds[i % kFaultKindCount].call, nullptr)
                                  : ov_av_guarded([] {});
        if (returned == faults) ++wrong;
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
