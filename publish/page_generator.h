// Makes one HTML page (code page 932, CR LF) from the entries of a range of days and a
// style. Only titles and public texts are published; private texts are never read.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "core/date.h"

namespace tavo {

struct PageRequest {
    std::string styleName;
    Date start;
    Date end;
    bool oldestFirst = false;
};

// Called once a day of the range with the percentage done (0..100).
using PageProgress = std::function<void(int percent)>;

// The page, or false with the error text (style missing or unreadable, an entry file in
// the range with fewer than two lines); nothing is written.
bool GeneratePage(const std::filesystem::path& programFolder, const PageRequest& request,
                  std::string* page, std::string* error, const PageProgress& progress = {});

// The date texts of an entry by a style's format values, as the page shows them.
struct DateTexts {
    std::string year, month, day, weekday;
};
struct Style;
DateTexts FormatDate(const Date& date, const Style& style);

}  // namespace tavo
