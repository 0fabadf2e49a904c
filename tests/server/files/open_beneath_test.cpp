#include "server/files/open_beneath.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/server/support/test_site.h"

namespace {

using Segments = std::vector<std::string>;
using Opener = UniqueFd (*)(int, const Segments&);

struct OpenCase {
    std::string name;
    Segments path;
    bool with_links;     // reachable by OpenBeneath
    bool without_links;  // reachable by OpenWithoutLinks
};

class OpenTest : public testing::TestWithParam<OpenCase> {
  protected:
    void SetUp() override {
        site_.Write("a/file.txt", "inside");
        ASSERT_EQ(symlink("a/file.txt", site_.PathOf("link_in").c_str()), 0);
        ASSERT_EQ(symlink("a", site_.PathOf("dir_link_in").c_str()), 0);
        ASSERT_EQ(symlink("../secret.txt", site_.PathOf("link_out").c_str()), 0);
        ASSERT_EQ(symlink((site_.outside() + "/secret.txt").c_str(),
                          site_.PathOf("absolute_out").c_str()),
                  0);
        ASSERT_EQ(symlink("..", site_.PathOf("dir_out").c_str()), 0);
        ASSERT_EQ(symlink("a/../../secret.txt", site_.PathOf("a_then_out").c_str()), 0);
        ASSERT_EQ(symlink("/proc/self/root/etc/hostname", site_.PathOf("magic").c_str()), 0);
        root_.reset(open(site_.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(root_);
    }

    // Whether `open` reached the file, which must never be the secret.
    bool Reaches(Opener open_path) {
        const UniqueFd fd = open_path(root_.get(), GetParam().path);
        if (!fd) return false;
        char text[64] = {};
        const ssize_t got = read(fd.get(), text, sizeof text - 1);
        const int flags = fcntl(fd.get(), F_GETFL);
        EXPECT_EQ(flags & O_NONBLOCK, 0);
        EXPECT_EQ(std::string(text, got > 0 ? got : 0).find(TestSite::kSecret), std::string::npos);
        return true;
    }

    TestSite site_;
    UniqueFd root_;
};

TEST_P(OpenTest, StaysBeneathTheRoot) {
    EXPECT_EQ(Reaches(&OpenBeneath), GetParam().with_links);
    EXPECT_EQ(Reaches(&OpenWithoutLinks), GetParam().without_links);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OpenTest,
    testing::Values(OpenCase{"Root", {}, true, true},
                    OpenCase{"File", {"a", "file.txt"}, true, true},
                    OpenCase{"Missing", {"a", "none"}, false, false},
                    OpenCase{"FileAsFolder", {"a", "file.txt", "x"}, false, false},
                    OpenCase{"LinkInside", {"link_in"}, true, false},
                    OpenCase{"FolderLinkInside", {"dir_link_in", "file.txt"}, true, false},
                    OpenCase{"LinkOutside", {"link_out"}, false, false},
                    OpenCase{"AbsoluteLinkOutside", {"absolute_out"}, false, false},
                    OpenCase{"FolderLinkOutside", {"dir_out", "secret.txt"}, false, false},
                    OpenCase{"LinkClimbingOut", {"a_then_out"}, false, false},
                    OpenCase{"ProcLink", {"magic"}, false, false}),
    [](const auto& info) { return info.param.name; });

TEST(OpenBeneathTest, OpensAFifoWithoutWaitingForAWriter) {
    TestSite site;
    ASSERT_EQ(mkfifo(site.PathOf("pipe").c_str(), 0600), 0);
    const UniqueFd root(open(site.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const UniqueFd fd = OpenBeneath(root.get(), {"pipe"});
    struct stat info {};
    ASSERT_TRUE(fd);
    EXPECT_EQ(fstat(fd.get(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace
