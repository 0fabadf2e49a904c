#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A small key-value map that carries a start configuration to the server. Its entries replace the
// matching items of the server's own configuration for one start.
class JMap {
  public:
    void SetInt(std::string_view key, std::int32_t value);
    std::optional<std::int32_t> GetInt(std::string_view key) const;

  private:
    std::map<std::string, std::int32_t, std::less<>> ints_;
};

// Builds a map holding one integer entry. The caller owns (and releases) the map.
std::unique_ptr<JMap> CreateStoreMap(std::string_view key, std::int32_t value);
