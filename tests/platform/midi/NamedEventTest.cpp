// The named event that hands control between a MIDI player's threads.
#include <zplatform/Mmsystem.h>

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

TEST(NamedEvent, SetInOneThreadReleasesAWaiterInAnotherAndResetsItself) {
  const HANDLE event = CreateEvent(nullptr, FALSE, FALSE, "Wait For Buffer Return");
  ASSERT_NE(event, nullptr);
  auto waiter = std::async(std::launch::async, [event] { return WaitForSingleObject(event, 10'000); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_TRUE(SetEvent(event));
  EXPECT_EQ(waiter.get(), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT) << "an auto-reset event is taken by one wait";
  EXPECT_TRUE(CloseHandle(event));
}

TEST(NamedEvent, WaitsFollowTheResetModeAndTheInitialState) {
  struct Case {
    BOOL manualReset;
    BOOL initial;
    DWORD first, second;
  };
  const Case cases[] = {
      {FALSE, TRUE, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {TRUE, TRUE, WAIT_OBJECT_0, WAIT_OBJECT_0},
      {TRUE, FALSE, WAIT_TIMEOUT, WAIT_TIMEOUT},
  };
  for (const Case& c : cases) {
    const HANDLE event = CreateEvent(nullptr, c.manualReset, c.initial, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), c.first) << c.manualReset << c.initial;
    EXPECT_EQ(WaitForSingleObject(event, 0), c.second) << c.manualReset << c.initial;
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
  }
}

TEST(NamedEvent, ANameOpensTheSameEventWhileAHandleToItIsOpen) {
  const HANDLE first = CreateEvent(nullptr, FALSE, FALSE, "shared");
  const HANDLE second = CreateEvent(nullptr, FALSE, FALSE, "shared");
  const HANDLE unnamed = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  ASSERT_NE(first, second);
  SetEvent(first);
  EXPECT_EQ(WaitForSingleObject(unnamed, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  SetEvent(second);
  CloseHandle(first);
  CloseHandle(second);
  EXPECT_EQ(SetEvent(first), FALSE);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_FAILED);
  EXPECT_EQ(CloseHandle(second), FALSE);
  const HANDLE again = CreateEvent(nullptr, FALSE, FALSE, "shared");
  EXPECT_EQ(WaitForSingleObject(again, 0), WAIT_TIMEOUT) << "the last close ended the signalled event";
  CloseHandle(again);
  CloseHandle(unnamed);
}

}  // namespace
