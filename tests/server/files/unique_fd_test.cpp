#include "server/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

UniqueFd OpenNull() { return UniqueFd(open("/dev/null", O_RDONLY | O_CLOEXEC)); }

TEST(UniqueFdTest, MovingHandsTheDescriptorOnAndLeavesTheSourceEmpty) {
    UniqueFd first = OpenNull();
    const int fd = first.get();
    ASSERT_TRUE(first);
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), fd);
    UniqueFd third;
    third = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_EQ(third.get(), fd);
    EXPECT_TRUE(IsOpen(fd));
}

TEST(UniqueFdTest, ClosesOnResetOnAssignmentAndWhenItGoes) {
    UniqueFd held = OpenNull();
    const int reset_one = held.get();
    held.reset();
    EXPECT_FALSE(IsOpen(reset_one));

    held = OpenNull();
    const int replaced = held.get();
    held = OpenNull();
    EXPECT_NE(held.get(), replaced);
    EXPECT_FALSE(IsOpen(replaced));

    int scoped = -1;
    {
        const UniqueFd inner = OpenNull();
        scoped = inner.get();
    }
    EXPECT_FALSE(IsOpen(scoped));
}

TEST(UniqueFdTest, ReleaseGivesTheDescriptorUpOpen) {
    UniqueFd held = OpenNull();
    const int fd = held.release();
    EXPECT_FALSE(held);
    EXPECT_TRUE(IsOpen(fd));
    close(fd);
}

TEST(UniqueFdTest, ClosingKeepsErrno) {
    UniqueFd held = OpenNull();
    errno = ENOENT;
    held.reset();
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
