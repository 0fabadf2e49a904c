#include "tests/site/temp_folder.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "site/utf8_path.h"

namespace fs = std::filesystem;

void TempFolderTest::SetUp() {
    std::random_device seed;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / site::to_path("站点 测试 " + std::to_string(seed()));
        if (fs::create_directory(candidate)) root_ = site::to_utf8(candidate);
    }
    ASSERT_FALSE(root_.empty()) << "no temporary folder could be created";
}

void TempFolderTest::TearDown() {
    if (root_.empty()) return;
    std::error_code error;
    // Read-only folders left by a test would stop the removal.
    for (const auto& entry : fs::recursive_directory_iterator(site::to_path(root_), error))
        if (entry.is_directory(error)) fs::permissions(entry.path(), fs::perms::owner_all, error);
    fs::remove_all(site::to_path(root_), error);
}

void TempFolderTest::put(const std::string& name, const std::string& bytes) const {
    std::ofstream stream(site::to_path(at(name)), std::ios::binary);
    stream << bytes;
    ASSERT_TRUE(stream.good()) << name;
}

void TempFolderTest::make_folder(const std::string& name) const {
    ASSERT_TRUE(fs::create_directory(site::to_path(at(name)))) << name;
}

Snapshot TempFolderTest::snapshot() const {
    Snapshot entries;
    const fs::path root = site::to_path(root_);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string name = site::to_utf8(entry.path().lexically_relative(root));
        if (entry.is_directory()) {
            entries[name] = std::nullopt;
            continue;
        }
        std::ifstream stream(entry.path(), std::ios::binary);
        entries[name] = std::string(std::istreambuf_iterator<char>(stream), {});
    }
    return entries;
}

void TempFolderTest::lay_out(const Snapshot& entries, const std::string& locked) {
    for (const auto& [name, bytes] :
         entries) {  // in name order, so folders come before their files
        if (bytes)
            put(name, *bytes);
        else
            make_folder(name);
    }
    if (locked.empty()) return;
    locked_ = locked;
    fs::permissions(site::to_path(at(locked)), fs::perms::owner_read | fs::perms::owner_exec);
}

Snapshot TempFolderTest::outcome() {
    if (!locked_.empty()) fs::permissions(site::to_path(at(locked_)), fs::perms::owner_all);
    locked_.clear();
    return snapshot();
}

bool modes_are_enforced() { return ::geteuid() != 0; }
