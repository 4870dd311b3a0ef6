// Threads: a thread runs its routine and is waited for, a handle closed
// before its thread ends leaves the thread running safely, stale handles and
// injected failures are refused.
#include <atomic>

#include "platform/win32.h"
#include "platform_test_support.h"

namespace {

using platform::testing::Service;

class ThreadTest : public test_support::PlatformTest {};

struct Flags {
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
};

DWORD WINAPI WaitForRelease(LPVOID parameter) {
    Flags& flags = *static_cast<Flags*>(parameter);
    while (!flags.release) {
    }
    ++flags.runs;
    return 0;
}

TEST_F(ThreadTest, ThreadRunsAndIsWaitedFor) {
    Flags flags;
    HANDLE thread = CreateThread(nullptr, 0, WaitForRelease, &flags, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    flags.release = true;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
    EXPECT_EQ(1, flags.runs);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE)) << "an ended thread is waited for at once";
    EXPECT_TRUE(CloseHandle(thread));

    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(thread, INFINITE));
}

TEST_F(ThreadTest, HandleClosedBeforeTheThreadEnds) {
    Flags flags;
    HANDLE thread = CreateThread(nullptr, 0, WaitForRelease, &flags, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    EXPECT_TRUE(CloseHandle(thread));
    flags.release = true;
    while (flags.runs == 0) {
    }
}

TEST_F(ThreadTest, InjectedFailureStartsNothing) {
    Flags flags;
    platform::testing::FailCalls(Service::Thread, 1);
    EXPECT_EQ(nullptr, CreateThread(nullptr, 0, WaitForRelease, &flags, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(1, platform::testing::CallCount(Service::Thread));
}

}  // namespace
