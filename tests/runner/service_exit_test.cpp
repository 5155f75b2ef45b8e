#include "runner/core/service_exit.h"

#include <gtest/gtest.h>

namespace qm::runner {
namespace {

TEST(ServiceExit, AProgramsOwnCodeIsServiceSpecific) {
  EXPECT_EQ(ExitForProgram(0).dwWin32ExitCode, 0u);
  ServiceExit exit = ExitForProgram(3);
  EXPECT_EQ(exit.dwWin32ExitCode, kErrorServiceSpecificError);
  EXPECT_EQ(exit.dwServiceSpecificExitCode, 3u);
  // A crash code such as an access violation is passed on whole.
  EXPECT_EQ(ExitForProgram(0xC0000005u).dwServiceSpecificExitCode, 0xC0000005u);
}

TEST(ServiceExit, ARunnerFailureIsNeverReportedAsSuccess) {
  EXPECT_EQ(ExitForRunnerFailure(2).dwWin32ExitCode, 2u);
  EXPECT_EQ(ExitForRunnerFailure(2).dwServiceSpecificExitCode, 0u);
  // Whatever left the error unset still stops the service with an error.
  EXPECT_NE(ExitForRunnerFailure(0).dwWin32ExitCode, 0u);
  // 1066 alone would point at a service-specific code of 0.
  EXPECT_NE(ExitForRunnerFailure(kErrorServiceSpecificError).dwWin32ExitCode,
            kErrorServiceSpecificError);
}

TEST(ServiceExit, GivingUpIsAlwaysAFailure) {
  ServiceExit exit = ExitForGivingUp(3);
  EXPECT_EQ(exit.dwWin32ExitCode, kErrorServiceSpecificError);
  EXPECT_EQ(exit.dwServiceSpecificExitCode, 3u);
  // A program restarted whatever its code may last have ended with 0.
  EXPECT_EQ(ExitForGivingUp(0).dwWin32ExitCode, kErrorProcessAborted);
}

TEST(ServiceExit, LostOutputIsNeverACleanStop) {
  struct Case {
    ServiceExit before;
    ServiceExit after;
  } cases[] = {
      {ExitForRequestedStop(), {kErrorTimeout, 0}},
      {ExitForProgram(0), {kErrorTimeout, 0}},
      // A failure already keeps what it says about the program.
      {ExitForProgram(3), {kErrorServiceSpecificError, 3}},
      {ExitForGivingUp(0), {kErrorProcessAborted, 0}},
      {ExitForRunnerFailure(2), {2, 0}},
  };
  for (const Case& c : cases) {
    ServiceExit exit = ExitWithOutputLost(c.before);
    EXPECT_EQ(exit.dwWin32ExitCode, c.after.dwWin32ExitCode) << c.before.dwWin32ExitCode;
    EXPECT_EQ(exit.dwServiceSpecificExitCode, c.after.dwServiceSpecificExitCode);
  }
}

TEST(ServiceExit, ARequestedStopIsClean) {
  EXPECT_EQ(ExitForRequestedStop().dwWin32ExitCode, 0u);
  EXPECT_EQ(ExitForRequestedStop().dwServiceSpecificExitCode, 0u);
}

}  // namespace
}  // namespace qm::runner
