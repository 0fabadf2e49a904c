#include "site/file_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/site/temp_folder.h"

namespace {

using namespace std::string_literals;
using Operation = std::function<bool(std::string_view path)>;

const std::string kBinary = "a\0b\r\nc\n\xFF"s;
const std::string kLarge(3 << 20, 'x');

struct FileCase {
    const char* label;
    Snapshot before;
    std::string path;  // inside the temporary folder; empty stands for the empty path
    Operation operation;
    bool answer;
    Snapshot after;
    std::string locked = "";  // an entry without write permission
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.label; }

Operation create() { return site::create_folder; }
Operation exists() { return site::exists; }
Operation write(const std::string& bytes) {
    return [bytes](std::string_view path) { return site::write_whole_file(path, bytes); };
}

class FileOps : public TempFolderTest, public ::testing::WithParamInterface<FileCase> {};

// Each operation answers as stated and leaves exactly the expected entries: nothing half-written,
// no temporary files.
TEST_P(FileOps, AnswersAndLeavesExactlyTheExpectedEntries) {
    const FileCase& c = GetParam();
    if (!c.locked.empty() && !modes_are_enforced()) GTEST_SKIP() << "modes are not enforced";
    lay_out(c.before, c.locked);
    EXPECT_EQ(c.operation(c.path.empty() ? "" : at(c.path)), c.answer);
    EXPECT_EQ(outcome(), c.after);
}

const Snapshot kFolderWithFile = {{"index.html", std::nullopt}, {"index.html/a", "x"}};

INSTANTIATE_TEST_SUITE_P(
    Site, FileOps,
    ::testing::ValuesIn(std::vector<FileCase>{
        {"create_new", {}, "新 文件夹", create(), true, {{"新 文件夹", std::nullopt}}},
        {"create_existing", kFolderWithFile, "index.html", create(), true, kFolderWithFile},
        {"create_two_levels", {}, "a/b", create(), false, {}},
        {"create_over_file", {{"f", "x"}}, "f", create(), false, {{"f", "x"}}},
        {"create_empty_path", {}, "", create(), false, {}},
        {"exists_file", {{"index.html", "x"}}, "index.html", exists(), true, {{"index.html", "x"}}},
        {"exists_folder", kFolderWithFile, "index.html", exists(), true, kFolderWithFile},
        {"exists_missing", {{"a", "x"}}, "index.html", exists(), false, {{"a", "x"}}},
        {"exists_no_wildcards", {{"a.html", "x"}}, "*.html", exists(), false, {{"a.html", "x"}}},
        {"exists_empty_path", {}, "", exists(), false, {}},
        {"write_new", {}, "首页 a.bin", write(kBinary), true, {{"首页 a.bin", kBinary}}},
        {"write_shorter", {{"f", "old and longer"}}, "f", write("new"), true, {{"f", "new"}}},
        {"write_nothing", {{"f", "old"}}, "f", write(""), true, {{"f", ""}}},
        {"write_large", {}, "big", write(kLarge), true, {{"big", kLarge}}},
        {"write_empty_path", {}, "", write("x"), false, {}},
        {"write_missing_folder", {}, "missing/f", write("x"), false, {}},
        {"write_over_folder", kFolderWithFile, "index.html", write("x"), false, kFolderWithFile},
        {"write_folder_name",
         {{"d", std::nullopt}},
         "d/",
         write("x"),
         false,
         {{"d", std::nullopt}}},
        {"write_read_only_file", {{"f", "old"}}, "f", write("x"), false, {{"f", "old"}}, "f"},
        {"write_read_only_folder",
         {{"d", std::nullopt}},
         "d/f",
         write("x"),
         false,
         {{"d", std::nullopt}},
         "d"},
    }),
    [](const auto& info) { return std::string(info.param.label); });

struct ReadCase {
    const char* label;
    Snapshot before;
    std::optional<std::string> bytes;  // of the entry "f"
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class ReadWholeFile : public TempFolderTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadWholeFile, GivesAllBytesOfARegularFileOnly) {
    lay_out(GetParam().before);
    EXPECT_EQ(site::read_whole_file(at("f")), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Site, ReadWholeFile,
                         ::testing::ValuesIn(std::vector<ReadCase>{
                             {"binary", {{"f", kBinary}}, kBinary},
                             {"empty", {{"f", ""}}, ""},
                             {"folder", {{"f", std::nullopt}}, std::nullopt},
                             {"missing", {}, std::nullopt},
                         }),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
