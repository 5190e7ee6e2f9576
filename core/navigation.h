// Finding days with an entry over the sorted index: the nearest earlier or later one, and
// those of a month.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "date.h"

namespace tavo {

// The entry name before / after `key` in the sorted index; the key itself never counts
// as its own neighbour, whether it is listed or not.
std::optional<std::string> PreviousEntryName(const std::vector<std::string>& sortedIndex,
                                             std::string_view key);
std::optional<std::string> NextEntryName(const std::vector<std::string>& sortedIndex,
                                         std::string_view key);

// The days from `first` to `last` that the sorted index lists, each once, for calendars
// that mark the days with an entry.
std::vector<Date> EntryDatesBetween(const std::vector<std::string>& sortedIndex, const Date& first,
                                    const Date& last);

// An index line that no file of the data folder can have given: longer than a file name
// may be, or holding a line-control character or a slash. Such a line is damage (a
// foreign or broken file written over the index), and the index is rebuilt. So is the
// name of a sync tool's conflict copy, which a rebuild never lists.
std::optional<std::string> FindDamagedIndexLine(const std::vector<std::string>& index);

}  // namespace tavo
