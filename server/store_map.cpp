#include "server/store_map.h"

void JMap::SetInt(std::string_view key, std::int32_t value) { ints_[std::string(key)] = value; }

std::optional<std::int32_t> JMap::GetInt(std::string_view key) const {
    auto found = ints_.find(key);
    if (found == ints_.end()) return std::nullopt;
    return found->second;
}

std::unique_ptr<JMap> CreateStoreMap(std::string_view key, std::int32_t value) {
    auto map = std::make_unique<JMap>();
    map->SetInt(key, value);
    return map;
}
