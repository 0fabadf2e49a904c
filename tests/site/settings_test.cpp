#include "site/settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/site/temp_folder.h"

namespace {

const std::string kEol = "\n";  // line end of a newly created settings file

const std::string kBom = "\xEF\xBB\xBF";
const std::string kConfig = "[Config]\r\nPort=8080\r\n";
const std::string kFallback = "fallback";

struct ReadCase {
    const char* label;
    Snapshot before;
    std::string value;                // expected answer
    std::string file = "Config.web";  // inside the folder; empty: nothing but the prefix
    std::string prefix = "";          // put before the file's full path
    std::string section = "Config";
    std::string key = "Port";
};
void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.label; }

class ReadSetting : public TempFolderTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSetting, AnswersTheValueOrTheFallback) {
    const ReadCase& c = GetParam();
    lay_out(c.before);
    const std::string file = c.prefix + (c.file.empty() ? "" : at(c.file));
    EXPECT_EQ(site::read_setting(file, c.section, c.key, kFallback), c.value);
}

Snapshot config(const std::string& text) { return {{"Config.web", text}}; }

const std::string kLongest(site::kMaxSettingLength, 'x');

INSTANTIATE_TEST_SUITE_P(
    Site, ReadSetting,
    ::testing::ValuesIn(std::vector<ReadCase>{
        {"missing_file", {}, kFallback},
        {"file_is_a_folder", {{"Config.web", std::nullopt}}, kFallback},
        {"missing_section", config("[Other]\r\nPort=1\r\n"), kFallback},
        {"missing_key", config("[Config]\r\nHost=a\r\n"), kFallback},
        {"key_in_later_section", config("[Config]\r\n[Other]\r\nPort=1\r\n"), kFallback},
        {"comment_is_no_key", config("[Config]\r\n;Port=1\r\n"), kFallback},
        {"found", config(kConfig), "8080"},
        {"found_after_other_section", config("[Other]\nPort=1\n[Config]\nPort=2\n"), "2"},
        {"names_ignore_case", config("[cOnFiG]\nPORT=3\n"), "3"},
        {"blanks_and_bom", config(kBom + "\r\n[Config]\r\n  Port =  4 \r\n"), "4"},
        {"empty_value", config("[Config]\nPort=\n"), ""},
        {"longest_value", config("[Config]\nPort=" + kLongest + "\n"), kLongest},
        {"long_value_cut", config("[Config]\nPort=" + kLongest + "yyy\n"), kLongest},
        {"cut_counts_characters", config("[Config]\nPort=" + kLongest.substr(1) + "汉字\n"),
         kLongest.substr(1) + "汉"},
        {"leading_controls_skipped", config(kConfig), "8080", "Config.web", "\x01\x1f \t",
         "\x02 Config", "\x0b\nPort"},
        {"file_empty_after_skip", {}, "", "", "\x01 \t"},
        {"section_empty_after_skip", config(kConfig), "", "Config.web", "", "\x05 "},
        {"key_empty_after_skip", config(kConfig), "", "Config.web", "", "Config", " \x1f"},
    }),
    [](const auto& info) { return std::string(info.param.label); });

struct WriteCase {
    const char* label;
    Snapshot before;
    std::string value;
    bool answer;
    Snapshot after;
    std::string file = "Config.web";
    std::string prefix = "";
    std::string section = "Config";
    std::string key = "Port";
    std::string locked = "";  // an entry without write permission
};
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.label; }

class WriteSetting : public TempFolderTest, public ::testing::WithParamInterface<WriteCase> {};

// Success or failure, the folder ends up holding exactly the expected bytes: the one key changed,
// every other byte as it was, no temporary files.
TEST_P(WriteSetting, ChangesOnlyTheOneKey) {
    const WriteCase& c = GetParam();
    if (!c.locked.empty() && !modes_are_enforced()) GTEST_SKIP() << "modes are not enforced";
    lay_out(c.before, c.locked);
    const std::string file = c.prefix + (c.file.empty() ? "" : at(c.file));
    EXPECT_EQ(site::write_setting(file, c.section, c.key, c.value), c.answer);
    EXPECT_EQ(outcome(), c.after);
    if (c.answer) {
        EXPECT_EQ(site::read_setting(file, c.section, c.key, kFallback), c.value);
    }
}

const std::string kKept = kBom +
                          "; Site Launcher\r\n"
                          "\r\n"
                          "[Other]\r\n"
                          "Port=1\r\n"
                          "Name = 名字 \r\n"
                          "\r\n"
                          "[Config]\r\n"
                          "; the port of the last start\r\n"
                          "Port = PORT\r\n"
                          "Last=1\r\n"
                          "\r\n"
                          "[Tail]\r\n"
                          "k=v";

std::string kept_with(const std::string& port) {
    return std::string(kKept).replace(kKept.find("PORT"), 4, port);
}

INSTANTIATE_TEST_SUITE_P(
    Site, WriteSetting,
    ::testing::ValuesIn(std::vector<WriteCase>{
        {"create_file", {}, "8080", true, config("[Config]" + kEol + "Port=8080" + kEol)},
        {"replace_keeps_all_else", config(kept_with("80")), "8080", true,
         config(kept_with("8080"))},
        {"replace_ignores_case", config("[config]\nPORT=1\n"), "2", true,
         config("[config]\nPORT=2\n")},
        {"replace_first_of_two", config("[Config]\nPort=1\nPort=2\n"), "3", true,
         config("[Config]\nPort=3\nPort=2\n")},
        {"replace_empty_value", config("[Config]\nPort=\n"), "4", true,
         config("[Config]\nPort=4\n")},
        {"give_bare_key_a_value", config("[Config]\r\nPort\r\n"), "5", true,
         config("[Config]\r\nPort=5\r\n")},
        {"set_empty_value", config(kConfig), "", true, config("[Config]\r\nPort=\r\n")},
        {"add_key_to_section", config("[Config]\nA=1\n\n; next\n[Other]\nB=2\n"), "6", true,
         config("[Config]\nA=1\nPort=6\n\n; next\n[Other]\nB=2\n")},
        {"add_key_after_unended_line", config("[Config]\r\nA=1"), "7", true,
         config("[Config]\r\nA=1\r\nPort=7\r\n")},
        {"add_section", config(kBom + "[Other]\r\nB=2\r\n"), "8", true,
         config(kBom + "[Other]\r\nB=2\r\n[Config]\r\nPort=8\r\n")},
        {"add_section_after_unended_line", config("; only"), "9", true,
         config("; only" + kEol + "[Config]" + kEol + "Port=9" + kEol)},
        {"leading_controls_skipped", config(kConfig), "10", true, config("[Config]\r\nPort=10\r\n"),
         "Config.web", "\x01 ", "\t Config", "\x1fPort"},
        {"refuse_line_feed", config(kConfig), "1\n[X]", false, config(kConfig)},
        {"refuse_carriage_return", config(kConfig), "1\r", false, config(kConfig)},
        {"missing_folder", {}, "1", false, {}, "missing/Config.web"},
        {"file_is_a_folder",
         {{"Config.web", std::nullopt}},
         "1",
         false,
         {{"Config.web", std::nullopt}}},
        {"file_empty_after_skip", {}, "1", false, {}, "", "\x01 "},
        {"section_empty_after_skip", {}, "1", false, {}, "Config.web", "", "\x02"},
        {"key_empty_after_skip", {}, "1", false, {}, "Config.web", "", "Config", " "},
        {"read_only_folder",
         {{"ro", std::nullopt}},
         "1",
         false,
         {{"ro", std::nullopt}},
         "ro/Config.web",
         "",
         "Config",
         "Port",
         "ro"},
        {"read_only_file", config(kConfig), "1", false, config(kConfig), "Config.web", "", "Config",
         "Port", "Config.web"},
    }),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
