#include "server/files/compressed_folders.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "server/unique_fd.h"
#include "tests/server/support/test_site.h"

namespace {

// Dates a folder an hour back, as a folder nobody has touched for a while is.
void MakeOld(const std::string& path) {
    timespec times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

class CompressedFoldersTest : public testing::Test {
  protected:
    void SetUp() override {
        site_.Write("app.js", "plain");
        site_.Write("sub/deeper/page.js", "plain");
        root_.reset(open(site_.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(root_);
    }

    bool MayHold(const std::vector<std::string>& folder) const {
        return folders_.MayHoldCompressed(root_.get(), folder);
    }

    TestSite site_;
    UniqueFd root_;
    CompressedFolders folders_;
};

TEST_F(CompressedFoldersTest, ASettledFolderWithoutCopiesIsRuledOutUntilItChanges) {
    for (const std::vector<std::string>& folder :
         {std::vector<std::string>{}, std::vector<std::string>{"sub", "deeper"}}) {
        std::string path = site_.root();
        for (const auto& segment : folder) path += "/" + segment;
        MakeOld(path);
        EXPECT_FALSE(MayHold(folder)) << path;
        EXPECT_FALSE(MayHold(folder)) << path << " (remembered)";
        // A copy written later changes the folder's time, so the folder is read again.
        site_.Write(path.substr(site_.root().size() + (folder.empty() ? 0 : 1)) +
                        (folder.empty() ? "" : "/") + "copy.js.gz",
                    "z");
        EXPECT_TRUE(MayHold(folder)) << path;
    }
}

TEST_F(CompressedFoldersTest, AFolderChangedJustNowIsReadEachTime) {
    EXPECT_FALSE(MayHold({}));
    site_.Write("app.js.br", "b");
    EXPECT_TRUE(MayHold({}));
}

TEST_F(CompressedFoldersTest, WhatCannotBeToldIsNotRuledOut) {
    EXPECT_TRUE(MayHold({"missing"}));
    EXPECT_TRUE(MayHold({"app.js"}));  // not a folder
}

}  // namespace
