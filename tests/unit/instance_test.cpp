// The names that tie Ipshifter's processes to one profile file.
#include "functions/instance.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(InstanceKey, OneKeyPerFileWhateverTheCaseOfItsPath) {
    const std::uint32_t key = InstanceKey("C:\\Program Files\\Ipshifter\\Ipshifter.ini");
    EXPECT_EQ(InstanceKey("c:\\PROGRAM FILES\\ipshifter\\IPSHIFTER.INI"), key);
    EXPECT_NE(InstanceKey("C:\\Tools\\Ipshifter\\Ipshifter.ini"), key);
    EXPECT_NE(InstanceKey(""), 0u);
    EXPECT_EQ(InstanceObjectName(0x0123ABCD, "apply"), "Local\\Ipshifter-0123ABCD-apply");
}

TEST(ScopedTryLock, OneOwnerAtATimeAcrossThreadsAndNoMutexIsNoObstacle) {
    base::unique_handle mutex(CreateMutexA(nullptr, FALSE, nullptr));
    ASSERT_TRUE(mutex);
    {
        const ScopedTryLock mine(mutex.get());
        EXPECT_TRUE(mine.Owned());
        // A mutex belongs to a thread: another one cannot take it meanwhile.
        bool otherOwned = true;
        std::thread other([&] { otherOwned = ScopedTryLock(mutex.get()).Owned(); });
        other.join();
        EXPECT_FALSE(otherOwned);
    }
    bool afterwards = false;
    std::thread other([&] { afterwards = ScopedTryLock(mutex.get()).Owned(); });
    other.join();
    EXPECT_TRUE(afterwards) << "let go at the end of the scope";
    EXPECT_TRUE(ScopedTryLock(nullptr).Owned());
}

} // namespace
