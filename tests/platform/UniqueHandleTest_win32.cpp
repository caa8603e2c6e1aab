// The owner of CloseHandle handles: it closes what it holds exactly once, and
// nothing that it does not hold.
#include <gtest/gtest.h>

#include <utility>

#include "platform/UniqueHandle_win32.h"

namespace {

using Orvel::platform::UniqueHandle;

bool isOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

HANDLE newEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueHandle, ClosesWhatItHoldsOnceAndPassesItOnWhenMoved) {
  HANDLE raw = newEvent();
  ASSERT_TRUE(isOpen(raw));
  {
    UniqueHandle first(raw);
    UniqueHandle second(std::move(first));
    EXPECT_FALSE(first) << "a moved-from owner holds nothing";
    UniqueHandle third;
    third = std::move(second);
    EXPECT_EQ(third.get(), raw);
    EXPECT_TRUE(isOpen(raw)) << "moving closes nothing";
  }
  EXPECT_FALSE(isOpen(raw)) << "the last owner closed it";

  // reset closes the old handle and takes the new one; release gives it up
  // unclosed.
  HANDLE a = newEvent();
  HANDLE b = newEvent();
  UniqueHandle owner(a);
  EXPECT_TRUE(owner.reset(b));
  EXPECT_FALSE(isOpen(a));
  EXPECT_EQ(owner.release(), b);
  owner.reset();
  EXPECT_TRUE(isOpen(b));
  EXPECT_TRUE(UniqueHandle(b).reset()) << "closing an open handle succeeds";
  EXPECT_FALSE(isOpen(b));
}

TEST(UniqueHandle, EitherFailureValueIsNoHandle) {
  for (HANDLE none : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    UniqueHandle owner(none);
    EXPECT_FALSE(owner);
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(owner.reset()) << "nothing to close";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "no call made: the last error stays";
  }
  // receive hands a call the place for a new handle, closing the old one.
  HANDLE old = newEvent();
  UniqueHandle owner(old);
  *owner.receive() = newEvent();
  EXPECT_FALSE(isOpen(old));
  EXPECT_TRUE(owner);
}

}  // namespace
