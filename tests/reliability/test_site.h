#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/http_server.h"

// A generated file: its bytes follow from `seed` and the offset alone, so a byte from another file
// or from the wrong place of this one shows up.
struct GeneratedFile {
    std::string name;
    unsigned seed = 0;
    std::size_t size = 0;
};

// True when `bytes` are the bytes of the file made from `seed`, starting at `offset`.
bool MatchesFile(unsigned seed, std::uint64_t offset, std::string_view bytes);

// Writes `file` at `path` (its name is not used).
void WriteGenerated(const std::string& path, const GeneratedFile& file);

// Raises the soft limit on open descriptors to the hard limit, for tests holding many sockets.
void RaiseDescriptorLimit();

// Runs `work`; when it has not finished after `limit` the process ends with a message, since a
// hung call cannot be abandoned safely.
void FinishesWithin(std::chrono::seconds limit, const std::function<void()>& work);

// A served folder under the system's temporary folder, whose name holds Chinese characters and
// a blank, with a running server on a free port of 127.0.0.1.
class ServedSiteTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string at(std::string_view name) const;
    void Write(const GeneratedFile& file) const;

    // Starts `server_` on a free port with the extra settings given; false when no port worked.
    bool StartServer(const std::vector<std::pair<std::string, int>>& settings = {});
    // Starts `server` on `port` with the extra settings given.
    static bool StartOn(JHTTPServer& server, int port,
                        const std::vector<std::pair<std::string, int>>& settings = {});

    // A small file and a 256 KiB one, both written by SetUp.
    static const GeneratedFile kSmall;
    static const GeneratedFile kLarge;

    std::string root_;
    std::unique_ptr<JHTTPServer> server_;
    int port_ = 0;
};

// A whole GET of `file` answered 200 with exactly its bytes.
::testing::AssertionResult ServesIntact(int port, const GeneratedFile& file);
