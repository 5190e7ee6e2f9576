#include "navigation.h"

#include <algorithm>

#include "date.h"
#include "entry_store.h"

namespace tavo {

std::optional<std::string> PreviousEntryName(const std::vector<std::string>& sortedIndex,
                                             std::string_view key) {
    const auto at = std::lower_bound(
        sortedIndex.begin(), sortedIndex.end(), key,
        [](const std::string& a, std::string_view b) { return IndexNameLess(a, b); });
    if (at == sortedIndex.begin())
        return std::nullopt;
    return *(at - 1);
}

std::optional<std::string> NextEntryName(const std::vector<std::string>& sortedIndex,
                                         std::string_view key) {
    const auto at = std::upper_bound(
        sortedIndex.begin(), sortedIndex.end(), key,
        [](std::string_view a, const std::string& b) { return IndexNameLess(a, b); });
    if (at == sortedIndex.end())
        return std::nullopt;
    return *at;
}

std::vector<int> EntryDaysInMonth(const std::vector<std::string>& index, int year, int month) {
    const std::string prefix = FormatYyyymmdd(Date{year, month, 1}).substr(0, 6);
    std::vector<int> days;
    for (const std::string& name : index) {
        std::string error;
        if (name.size() != 8 || name.compare(0, 6, prefix) != 0)
            continue;
        const std::optional<Date> date = ParseEntryName(name, &error);
        if (date && (days.empty() || days.back() != date->day))
            days.push_back(date->day);
    }
    return days;
}

std::optional<std::string> FindDamagedIndexLine(const std::vector<std::string>& index) {
    constexpr size_t kLongestFileName = 255;
    for (const std::string& line : index) {
        if (line.size() > kLongestFileName || std::any_of(line.begin(), line.end(), [](char c) {
                return c == '/' || static_cast<unsigned char>(c) < 0x20;
            }))
            return line;
    }
    return std::nullopt;
}

}  // namespace tavo
