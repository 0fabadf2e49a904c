#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

// Entries by path relative to a folder: a file maps to its bytes, a folder to nothing. Comparing
// two snapshots shows any stray, lost or changed entry.
using Snapshot = std::map<std::string, std::optional<std::string>>;

// A fresh folder for each test, under the system's temporary folder, whose name holds Chinese
// characters and a blank so that every path handed to the library is non-ASCII UTF-8.
class TempFolderTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The UTF-8 path of `name` inside the folder.
    std::string at(const std::string& name) const { return root_ + "/" + name; }
    void put(const std::string& name, const std::string& bytes) const;
    void make_folder(const std::string& name) const;

    // Every entry below the folder, as it is now.
    Snapshot snapshot() const;
    // Creates the entries of a snapshot, then takes the write permission away from `locked` (a
    // folder or file among them) when it is not empty.
    void lay_out(const Snapshot& entries, const std::string& locked = "");
    // The entries after the test's action, with the locked entry given its permissions back.
    Snapshot outcome();

    std::string root_;
    std::string locked_;
};

// Modes are ignored for root, so cases that rely on a read-only folder only run for other users.
bool modes_are_enforced();
