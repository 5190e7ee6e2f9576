#include "navigation.h"

#include <algorithm>

#include "conflicts.h"
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

std::vector<Date> EntryDatesBetween(const std::vector<std::string>& sortedIndex, const Date& first,
                                    const Date& last) {
    std::vector<Date> dates;
    for (const std::string& name : sortedIndex) {
        std::string error;
        const std::optional<Date> date =
            name.size() == 8 ? ParseEntryName(name, &error) : std::nullopt;
        if (date && *date >= first && *date <= last && (dates.empty() || dates.back() != *date))
            dates.push_back(*date);
    }
    return dates;
}

std::optional<std::string> FindDamagedIndexLine(const std::vector<std::string>& index) {
    constexpr size_t kLongestFileName = 255;
    for (const std::string& line : index) {
        if (line.size() > kLongestFileName || std::any_of(line.begin(), line.end(), [](char c) {
                return c == '/' || static_cast<unsigned char>(c) < 0x20;
            }))
            return line;
        // A sync tool's conflict copy, listed by a rebuild that did not know them: as the
        // neighbour of its own day, it would make the jump land on that day again.
        if (ParseConflictCopyName(line + ".txt"))
            return line;
    }
    return std::nullopt;
}

}  // namespace tavo
