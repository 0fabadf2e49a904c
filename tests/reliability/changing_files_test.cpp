// A file that changes while it is being sent: the answer ends cleanly with the file's own bytes.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "tests/reliability/raw_http.h"
#include "tests/reliability/test_site.h"

namespace {

constexpr std::size_t kSize = 64 << 20;
constexpr std::size_t kReadBeforeChange = 256 * 1024;

struct Change {
    const char* name;
    // Applies the change to the file at `path`.
    std::function<void(const std::string& path)> apply;
    // True when the download in progress must still deliver the whole original.
    bool stays_whole;
    // What a new request for the file answers afterwards: the status and, for 200, the file.
    int later_status;
    GeneratedFile later;
};

const GeneratedFile kOriginal{"变化 文件.bin", 5, kSize};
const GeneratedFile kReplacement{"变化 文件.bin", 6, 5000};

class ChangingFileTest : public ServedSiteTest, public ::testing::WithParamInterface<Change> {
  protected:
    void SetUp() override {
        ServedSiteTest::SetUp();
        Write(kOriginal);
        ASSERT_TRUE(StartServer());
    }
};

TEST_P(ChangingFileTest, ResponseEndsCleanlyAndServingGoesOn) {
    const Change& change = GetParam();
    Connection reader(port_, 16 * 1024);
    ASSERT_TRUE(reader.ok());
    ASSERT_TRUE(reader.Send(GetRequest(kOriginal.name)));
    std::string received;
    ASSERT_EQ(reader.ReceiveUpTo(received, kReadBeforeChange), Connection::Outcome::kData);

    change.apply(at(kOriginal.name));

    // Whole or cut short, the answer ends, and holds nothing but the original's bytes.
    const auto outcome = reader.ReceiveUntilClosed(received);
    ASSERT_NE(outcome, Connection::Outcome::kTimedOut) << "the response never ended";
    const auto response = ParseResponse(received);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(ContentLength(*response), kSize);
    EXPECT_LE(response->body.size(), kSize);
    if (change.stays_whole) {
        EXPECT_EQ(response->body.size(), kSize);
    }
    EXPECT_TRUE(MatchesFile(kOriginal.seed, 0, response->body));

    EXPECT_TRUE(ServesIntact(port_, kSmall));
    if (change.later_status == 200) {
        EXPECT_TRUE(ServesIntact(port_, change.later));
    } else {
        const auto later = Fetch(port_, kOriginal.name);
        ASSERT_TRUE(later);
        EXPECT_EQ(later->status, change.later_status);
    }
}

void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

std::string NameOf(const ::testing::TestParamInfo<Change>& info) { return info.param.name; }

// The file's inode lives on while the server holds it open, so the whole original goes out.
INSTANTIATE_TEST_SUITE_P(
    Unlinked, ChangingFileTest,
    ::testing::Values(Change{"Deleted",
                             [](const std::string& path) { ASSERT_EQ(unlink(path.c_str()), 0); },
                             true,
                             404,
                             {}},
                      Change{"ReplacedByRename",
                             [](const std::string& path) {
                                 const std::string fresh = path + ".new";
                                 WriteGenerated(fresh, kReplacement);
                                 ASSERT_EQ(std::rename(fresh.c_str(), path.c_str()), 0);
                             },
                             true, 200, kReplacement}),
    NameOf);

// A file that shrinks under a running download ends that response short, at once, rather than
// leaving the client waiting for bytes that no longer exist.
INSTANTIATE_TEST_SUITE_P(Shrunk, ChangingFileTest,
                         ::testing::Values(Change{"Truncated",
                                                  [](const std::string& path) {
                                                      ASSERT_EQ(truncate(path.c_str(), kSize / 2),
                                                                0);
                                                  },
                                                  false,
                                                  200,
                                                  {kOriginal.name, kOriginal.seed, kSize / 2}},
                                           Change{"TruncatedToNothing",
                                                  [](const std::string& path) {
                                                      ASSERT_EQ(truncate(path.c_str(), 0), 0);
                                                  },
                                                  false,
                                                  200,
                                                  {kOriginal.name, kOriginal.seed, 0}}),
                         NameOf);

}  // namespace
