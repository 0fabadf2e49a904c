#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace test_support {

// A fresh folder whose name holds Chinese characters and a space; removed on destruction.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string text() const;  // the path as UTF-8 text
    std::filesystem::path web() const { return path_ / "web"; }

  private:
    std::filesystem::path path_;
};

std::string read_file(const std::filesystem::path& path);
void write_file(const std::filesystem::path& path, const std::string& bytes);

// True when something accepts connections on 127.0.0.1:port.
bool port_accepts(int port);

// A listening socket on 127.0.0.1:port, closed on destruction.
class PortHolder {
  public:
    explicit PortHolder(int port);
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    bool holding() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

}  // namespace test_support
