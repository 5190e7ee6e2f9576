// The month calendar of a page: one table per month of the range, the days with a
// published entry linked to their anchors.
#pragma once

#include <string>

#include "core/date.h"
#include "core/entry_store.h"

namespace tavo {

// Newest first, the months come newest first too. Fails, with the error text, on an entry
// file inside the range that has fewer than two lines.
bool BuildCalendar(const EntryStore& store, const Date& start, const Date& end, bool oldestFirst,
                   std::string* calendar, std::string* error);

}  // namespace tavo
