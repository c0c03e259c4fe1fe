#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "runtime/core.h"

namespace zoq::rt {
namespace {

TEST(PendingMessages, CallsTheInstalledHookOrNothing) {
  ProcessPendingMessages();  // no hook: nothing happens
  int calls = 0;
  SetPendingMessagesHook([&] { ++calls; });
  ProcessPendingMessages();
  ProcessPendingMessages();
  EXPECT_EQ(calls, 2);
  SetPendingMessagesHook(nullptr);
  ProcessPendingMessages();
  EXPECT_EQ(calls, 2);
}

// Each case runs in a fresh child process: the exit routine runs once per
// process.
class ProgramEnd : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ProgramEnd, WithoutAnEnderExitsWithZeroAfterTheExitRoutine) {
  EXPECT_EXIT(
      {
        RegisterExitRoutine([] { std::fputs("routine ran\n", stderr); });
        EndProgram();
        std::fputs("still running\n", stderr);
        std::abort();
      },
      ::testing::ExitedWithCode(0), "^routine ran\n$");
}

TEST_F(ProgramEnd, TheExitRoutineRunsOnceThenTheEnderEachTime) {
  EXPECT_EXIT(
      {
        int routine = 0;
        int ender = 0;
        RegisterExitRoutine([&] { ++routine; });
        SetProgramEnder([&] { ++ender; });
        EndProgram();
        EndProgram();
        std::fprintf(stderr, "routine %d ender %d\n", routine, ender);
        SetProgramEnder(nullptr);
        std::exit(routine == 1 && ender == 2 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "routine 1 ender 2");
}

TEST_F(ProgramEnd, ANormalExitRunsTheRoutineToo) {
  EXPECT_EXIT(
      {
        RegisterExitRoutine([] { std::fputs("routine at exit\n", stderr); });
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "routine at exit");
}

TEST_F(ProgramEnd, TheRoutineRegisteredLastIsTheOneThatRuns) {
  EXPECT_EXIT(
      {
        RegisterExitRoutine([] { std::fputs("first\n", stderr); });
        RegisterExitRoutine([] { std::fputs("second\n", stderr); });
        EndProgram();
      },
      ::testing::ExitedWithCode(0), "^second\n$");
}

}  // namespace
}  // namespace zoq::rt
