#include "server/answers/file_plan.h"

#include <gtest/gtest.h>

namespace {

const FileFacts kFile{1000, 784111777, "\"tag\""};
constexpr const char* kModified = "Sun, 06 Nov 1994 08:49:37 GMT";
constexpr const char* kEarlier = "Sun, 06 Nov 1994 08:49:36 GMT";

struct PlanCase {
    std::string name;
    FileConditions request;
    unsigned status;
    std::uint64_t offset;
    std::uint64_t length;
    std::string content_range;
};

class PlanTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanTest, ChoosesTheAnswer) {
    const PlanCase& c = GetParam();
    const FilePlan plan = PlanFileResponse(kFile, c.request);
    EXPECT_EQ(plan.status, c.status);
    EXPECT_EQ(plan.content_range, c.content_range);
    if (c.status == 200 || c.status == 206) {
        EXPECT_EQ(plan.offset, c.offset);
        EXPECT_EQ(plan.length, c.length);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PlanTest,
    testing::Values(
        PlanCase{"Plain", {}, 200, 0, 1000, ""},
        PlanCase{"TagMatches", {.if_none_match = "\"tag\""}, 304, 0, 0, ""},
        PlanCase{"TagDiffers", {.if_none_match = "\"old\""}, 200, 0, 1000, ""},
        PlanCase{"NotModifiedSince", {.if_modified_since = kModified}, 304, 0, 0, ""},
        PlanCase{"ModifiedSince", {.if_modified_since = kEarlier}, 200, 0, 1000, ""},
        PlanCase{"BadDateIgnored", {.if_modified_since = "soon"}, 200, 0, 1000, ""},
        PlanCase{"TagWinsOverDate",
                 {.if_none_match = "\"old\"", .if_modified_since = kModified},
                 200,
                 0,
                 1000,
                 ""},
        PlanCase{"Range", {.range = "bytes=10-19"}, 206, 10, 10, "bytes 10-19/1000"},
        PlanCase{"RangeBeyondEnd", {.range = "bytes=1000-"}, 416, 0, 0, "bytes */1000"},
        PlanCase{"MalformedRange", {.range = "bytes=x"}, 200, 0, 1000, ""},
        PlanCase{"IfRangeTag",
                 {.range = "bytes=-10", .if_range = "\"tag\""},
                 206,
                 990,
                 10,
                 "bytes 990-999/1000"},
        PlanCase{"IfRangeDate",
                 {.range = "bytes=0-0", .if_range = kModified},
                 206,
                 0,
                 1,
                 "bytes 0-0/1000"},
        PlanCase{"IfRangeStale", {.range = "bytes=0-0", .if_range = "\"old\""}, 200, 0, 1000, ""},
        PlanCase{
            "IfRangeStaleDate", {.range = "bytes=0-0", .if_range = kEarlier}, 200, 0, 1000, ""},
        PlanCase{
            "NotModifiedBeatsRange", {.if_none_match = "*", .range = "bytes=0-0"}, 304, 0, 0, ""}),
    [](const auto& info) { return info.param.name; });

}  // namespace
