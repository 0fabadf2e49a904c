// Reads and writes settings in a file of fuzzed bytes. Input: section, key, value, a second
// section and key (each a libFuzzer random-length string, "\\" ends one), then the file's bytes.
//
// Checked on every input:
// - reading never yields a line break, except the fallback "\n" that marks a missing setting;
// - a refused write leaves the file byte for byte as it was;
// - a write that succeeds changes the bytes of at most one line of the old file, reading the key
//   back gives the value written (blanks around it and one pair of enclosing quotes do not count),
//   and every other setting reads as before;
// - a write of a plain name and a value without line breaks is never refused.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "site/settings.h"

namespace {

constexpr std::string_view kMissing = "\n";  // no setting can hold a line break
constexpr std::string_view kBlanks = " \t\r\v\f";

[[noreturn]] void fail(const char* what) {
    fprintf(stderr, "settings fuzzer: %s\n", what);
    abort();
}

// One scratch folder for the whole run, on tmpfs when there is one: every write is flushed.
const std::string& settings_file() {
    static const std::string file = [] {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                               ? std::filesystem::path("/dev/shm")
                                               : std::filesystem::temp_directory_path();
        std::string folder = (base / "settings-fuzz-XXXXXX").string();
        if (mkdtemp(folder.data()) == nullptr) fail("cannot create a scratch folder");
        static std::string scratch = folder;
        std::atexit([] { std::filesystem::remove_all(scratch); });
        return folder + "/Config.web";
    }();
    return file;
}

void put_file(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) fail("cannot write the scratch file");
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// What reading gives back for a written value.
std::string_view read_back_form(std::string_view value) {
    value = trimmed(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// A name as lookups see it: leading control characters and surrounding blanks dropped, ASCII
// letters in one case.
std::string lookup_form(std::string_view name) {
    while (!name.empty() && name.front() >= 1 && name.front() <= 32) name.remove_prefix(1);
    std::string form(trimmed(name));
    for (char& c : form)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return form;
}

bool plain_name(std::string_view name) {
    if (name.empty()) return false;
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
        if (!plain) return false;
    }
    return true;
}

bool holds_line_break(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// True when `after` differs from `before` only inside one line of `before` (lines may be added).
bool other_lines_kept(std::string_view before, std::string_view after) {
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
    return removed.find('\n') == std::string_view::npos;
}

void check_read(std::string_view answer) {
    if (answer != kMissing && answer.find('\n') != std::string_view::npos)
        fail("a setting read back holds a line break");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(64);
    const std::string key = input.ConsumeRandomLengthString(64);
    const std::string value = input.ConsumeRandomLengthString(256);
    const std::string other_section = input.ConsumeRandomLengthString(64);
    const std::string other_key = input.ConsumeRandomLengthString(64);
    const std::string content = input.ConsumeRemainingBytesAsString();

    const std::string& file = settings_file();
    put_file(file, content);
    check_read(site::read_setting(file, section, key, kMissing));
    const std::string other_before = site::read_setting(file, other_section, other_key, kMissing);
    check_read(other_before);

    const bool written = site::write_setting(file, section, key, value);
    const std::string after = file_bytes(file);
    if (!written) {
        if (plain_name(section) && plain_name(key) && !holds_line_break(value))
            fail("a plain setting was refused");
        if (after != content) fail("a refused write changed the file");
        return 0;
    }
    if (holds_line_break(value)) fail("a value with a line break was written");
    if (!other_lines_kept(content, after)) fail("a write changed more than one line");
    if (site::read_setting(file, section, key, kMissing) != read_back_form(value))
        fail("the written value does not read back");
    const bool same_setting = lookup_form(other_section) == lookup_form(section) &&
                              lookup_form(other_key) == lookup_form(key);
    if (!same_setting &&
        site::read_setting(file, other_section, other_key, kMissing) != other_before)
        fail("a write changed another setting");
    return 0;
}
