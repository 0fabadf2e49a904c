#include "site/file_ops.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "site/settings.h"
#include "site/utf8_path.h"
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

// Files reached through symbolic links, as a user may keep Config.web or 404.html elsewhere.
struct LinkCase {
    const char* label;
    std::vector<std::pair<std::string, std::string>> links;  // name -> where it points, in order
    std::string file;                                        // the file the links lead to
    std::optional<std::string> before;                       // its bytes; nothing: missing
};
void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.label; }

class WriteThroughLink : public TempFolderTest, public ::testing::WithParamInterface<LinkCase> {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        make_folder("real");
        make_folder("web");
        if (GetParam().before) put(GetParam().file, *GetParam().before);
        for (const auto& [name, target] : GetParam().links) {
            const std::string resolved = target.starts_with("/") ? root_ + target : target;
            std::filesystem::create_symlink(site::to_path(resolved), site::to_path(at(name)));
        }
    }

    // The links are still links, pointing where they did; no temporary file is left anywhere.
    void expect_links_kept() const {
        for (const auto& [name, target] : GetParam().links) {
            const std::filesystem::path link = site::to_path(at(name));
            ASSERT_TRUE(std::filesystem::is_symlink(link)) << name;
            const std::string resolved = target.starts_with("/") ? root_ + target : target;
            EXPECT_EQ(site::to_utf8(std::filesystem::read_symlink(link)), resolved) << name;
        }
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(site::to_path(root_))) {
            EXPECT_EQ(entry.path().filename().string().find(".write-"), std::string::npos)
                << entry.path();
        }
    }

    std::string first_link() const { return at(GetParam().links.front().first); }
};

TEST_P(WriteThroughLink, WholeFileReplacesTheFileTheLinkLeadsTo) {
    ASSERT_TRUE(site::write_whole_file(first_link(), "new bytes"));
    expect_links_kept();
    EXPECT_EQ(site::read_whole_file(at(GetParam().file)), "new bytes");
}

TEST_P(WriteThroughLink, SettingIsWrittenIntoTheFileTheLinkLeadsTo) {
    ASSERT_TRUE(site::write_setting(first_link(), "Config", "Port", "8080"));
    expect_links_kept();
    EXPECT_EQ(site::read_setting(at(GetParam().file), "Config", "Port", ""), "8080");
    if (GetParam().before) {  // the rest of the file is kept
        EXPECT_TRUE(site::read_whole_file(at(GetParam().file))->starts_with(*GetParam().before));
    }
}

// Absolute targets are written as "/name" and stand for that name inside the temporary folder.
INSTANTIATE_TEST_SUITE_P(
    Site, WriteThroughLink,
    ::testing::ValuesIn(std::vector<LinkCase>{
        {"relative", {{"web/Config.web", "../real/Config.web"}}, "real/Config.web", "[x]\na=1\n"},
        {"absolute", {{"web/404.html", "/real/页面 404.html"}}, "real/页面 404.html", "old"},
        {"chain", {{"real/b", "c"}, {"web/Config.web", "../real/b"}}, "real/c", "; kept\n"},
        {"dangling", {{"web/404.html", "../real/new.html"}}, "real/new.html", std::nullopt},
    }),
    [](const auto& info) { return std::string(info.param.label); });

class WriteFailure : public TempFolderTest {};

// A failed write says why.
TEST_F(WriteFailure, NamesTheReason) {
    make_folder("folder");
    std::filesystem::create_symlink("loop", site::to_path(at("loop")));
    const std::pair<std::string, std::errc> cases[] = {
        {"folder", std::errc::is_a_directory},
        {"missing/f", std::errc::no_such_file_or_directory},
        {"loop", std::errc::too_many_symbolic_link_levels},
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        std::error_code error;
        EXPECT_FALSE(site::write_whole_file(at(name), "x", error));
        EXPECT_EQ(error, std::make_error_code(reason));
        error.clear();
        EXPECT_FALSE(site::write_setting(at(name), "Config", "Port", "1", error));
        EXPECT_EQ(error, std::make_error_code(reason));
    }
}

}  // namespace
