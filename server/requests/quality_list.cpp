#include "server/requests/quality_list.h"

#include "server/requests/text_codec.h"

namespace {

// "1", "1.000", "0", "0.5", "0.125" → thousandths; nothing for anything else.
std::optional<int> ParseWeight(std::string_view text) {
    if (text.empty() || (text[0] != '0' && text[0] != '1')) return std::nullopt;
    int whole = text[0] - '0';
    if (text.size() == 1) return whole * 1000;
    if (text[1] != '.' || text.size() > 5) return std::nullopt;
    int thousandths = 0;
    int scale = 100;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        thousandths += (c - '0') * scale;
        scale /= 10;
    }
    if (whole == 1 && thousandths != 0) return std::nullopt;
    return whole * 1000 + thousandths;
}

// One element: its name and, when a q parameter is present, its weight; false when q is
// malformed.
bool ParseElement(std::string_view element, QualityItem& item) {
    std::size_t semicolon = element.find(';');
    item.name = TrimSpaces(element.substr(0, semicolon));
    item.weight = 1000;
    while (semicolon != std::string_view::npos) {
        const std::size_t next = element.find(';', semicolon + 1);
        const std::string_view parameter =
            TrimSpaces(element.substr(semicolon + 1, next - semicolon - 1));
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos &&
            EqualsIgnoringCase(TrimSpaces(parameter.substr(0, equals)), "q")) {
            const auto weight = ParseWeight(TrimSpaces(parameter.substr(equals + 1)));
            if (!weight) return false;
            item.weight = *weight;
        }
        semicolon = next;
    }
    return true;
}

}  // namespace

std::vector<QualityItem> ParseQualityList(std::string_view header) {
    std::vector<QualityItem> items;
    std::size_t start = 0;
    while (start <= header.size()) {
        const std::size_t comma = header.find(',', start);
        const std::string_view element =
            header.substr(start, comma == std::string_view::npos ? header.npos : comma - start);
        QualityItem item;
        if (ParseElement(element, item) && !item.name.empty()) items.push_back(item);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return items;
}

std::optional<int> WeightOf(const std::vector<QualityItem>& list, std::string_view name,
                            std::string_view alias) {
    std::optional<int> any;
    for (const auto& item : list) {
        if (EqualsIgnoringCase(item.name, name)) return item.weight;
        if (!alias.empty() && EqualsIgnoringCase(item.name, alias)) return item.weight;
        if (item.name == "*" && !any) any = item.weight;
    }
    return any;
}
