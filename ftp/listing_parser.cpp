#include "ftp/listing_parser.h"

#include <cctype>
#include <cstdio>
#include <ctime>
#include <exception>
#include <vector>

#include "ftp/ftp_protocol.h"

namespace tavo::ftp {

namespace {

constexpr const char* kNoDate = "1/1/80 12:00";

std::string Trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return std::string(s);
}

bool StartsWithDigit(std::string_view s) {
    return !s.empty() && s[0] >= '0' && s[0] <= '9';
}

bool AllDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Applies the link rule: the target text with its arrow, and whether it makes the entry a
// directory (no file pattern in it) or a file.
void ApplyLinkRule(std::string_view line, ListingEntry& entry) {
    const auto arrow = line.find("->");
    if (arrow == std::string_view::npos)
        return;
    entry.info.LinkTarget = std::string(line.substr(arrow));
    const std::string target = AsciiLower(entry.info.LinkTarget);
    static const char* const kFilePatterns[] = {".gz",     ".exe",   ".txt", ".tar",
                                                "copying", "readme", ".diff"};
    entry.directory = true;
    for (const char* pattern : kFilePatterns) {
        if (target.find(pattern) != std::string::npos) {
            entry.directory = false;
            break;
        }
    }
}

std::optional<ListingEntry> ParseEplf(std::string_view line) {
    ListingEntry entry;
    entry.info.Size = "0";
    entry.info.DateTime = kNoDate;
    std::string_view text = line.substr(1);
    const auto lastComma = text.rfind(',');
    if (lastComma == std::string_view::npos)
        return std::nullopt;
    std::string_view facts = text.substr(0, lastComma);
    std::size_t pos = 0;
    while (pos <= facts.size()) {
        const auto comma = facts.find(',', pos);
        const std::string_view fact = facts.substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        if (!fact.empty()) {
            switch (fact[0]) {
                case '/':
                    entry.directory = true;
                    break;
                case 'r':
                    entry.directory = false;
                    break;
                case 'i':
                    entry.info.LinkTarget = std::string(fact.substr(1));
                    break;
                case 'm':
                    entry.info.DateTime = EplfDate(fact.substr(1));
                    break;
                case 's':
                    entry.info.Size = std::string(fact.substr(1));
                    break;
                default:
                    break;
            }
        }
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    entry.info.Name = Trim(text.substr(lastComma + 1));
    if (entry.info.Name.empty())
        return std::nullopt;
    return entry;
}

}  // namespace

std::string ListingToken(std::string_view line, int n) {
    // Reduce every run of blanks to one.
    std::string s;
    s.reserve(line.size());
    for (char c : line) {
        if (c == ' ' && !s.empty() && s.back() == ' ')
            continue;
        s.push_back(c);
    }
    std::size_t pos = 0;
    for (int i = 0; i < n; ++i) {
        const auto blank = s.find(' ', pos);
        if (blank == std::string::npos)
            return {};
        pos = blank + 1;
    }
    const auto blank = s.find(' ', pos);
    if (blank == std::string::npos)
        return {};
    return s.substr(pos, blank - pos);
}

std::string NameAfterToken(std::string_view line, int n) {
    const auto arrow = line.find("->");
    if (arrow != std::string_view::npos)
        line = line.substr(0, arrow);
    std::size_t pos = 0;
    while (pos < line.size() && line[pos] == ' ')
        ++pos;
    for (int i = 0; i < n; ++i) {
        const auto blank = line.find(' ', pos);
        if (blank == std::string_view::npos)
            return {};
        pos = blank;
        while (pos < line.size() && line[pos] == ' ')
            ++pos;
    }
    const auto blank = line.find(' ', pos);
    if (blank == std::string_view::npos)
        return {};
    return Trim(line.substr(blank));
}

std::string NormaliseListingDate(std::string_view text, int currentYear) {
    try {
        const std::string t = Trim(text);
        // Month, day and the rest, separated by blanks.
        const auto b1 = t.find(' ');
        if (b1 == std::string::npos)
            return kNoDate;
        const std::string monthText = t.substr(0, b1);
        std::size_t p = b1;
        while (p < t.size() && t[p] == ' ')
            ++p;
        const auto b2 = t.find(' ', p);
        const std::string day =
            Trim(t.substr(p, b2 == std::string::npos ? 2 : std::min<std::size_t>(2, b2 - p)));
        const std::string rest = b2 == std::string::npos ? std::string() : Trim(t.substr(b2));
        if (day.empty() || rest.empty())
            return kNoDate;

        std::string month;
        if (monthText.size() >= 1) {
            const char m0 =
                static_cast<char>(std::toupper(static_cast<unsigned char>(monthText[0])));
            const char m1 =
                monthText.size() > 1
                    ? static_cast<char>(std::tolower(static_cast<unsigned char>(monthText[1])))
                    : '\0';
            const char m2 =
                monthText.size() > 2
                    ? static_cast<char>(std::tolower(static_cast<unsigned char>(monthText[2])))
                    : '\0';
            switch (m0) {
                case 'A':
                    month = m1 == 'p' ? "4" : "8";
                    break;
                case 'D':
                    month = "12";
                    break;
                case 'F':
                    month = "2";
                    break;
                case 'J':
                    month = m1 == 'a' ? "1" : (m2 == 'n' ? "6" : "7");
                    break;
                case 'M':
                    month = m2 == 'r' ? "3" : "5";
                    break;
                case 'N':
                    month = "11";
                    break;
                case 'O':
                    month = "10";
                    break;
                case 'S':
                    month = "9";
                    break;
                default:
                    break;
            }
        }

        std::string year;
        std::string time;
        if (rest.find(':') != std::string::npos) {
            year = std::to_string(currentYear);
            if (rest.size() != 5) {
                time = rest + " AM";
            } else {
                const std::string hh = rest.substr(0, 2);
                if (!AllDigits(hh) || !AllDigits(rest.substr(3, 2)))
                    return kNoDate;
                const int hour = std::stoi(hh);
                if (hour < 13) {
                    time = rest + " AM";
                } else {
                    time = std::to_string(hour - 12) + rest.substr(2) + " PM";
                }
                if (!time.empty() && time[0] == '0')
                    time.erase(0, 1);
            }
        } else {
            year = rest;
            time = "12:00 AM";
        }
        return month + "/" + day + "/" + year + " " + time;
    } catch (const std::exception&) {
        return kNoDate;
    }
}

std::string EplfDate(std::string_view seconds) {
    if (!AllDigits(seconds) || seconds.size() > 15)
        return kNoDate;
    const std::time_t t = static_cast<std::time_t>(std::stoll(std::string(seconds)));
    std::tm tm{};
    if (!::gmtime_r(&t, &tm))
        return kNoDate;
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d %02d:%02d", tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return buffer;
}

std::optional<ListingEntry> ParseListingLine(TQFtpServerType type, std::string_view line,
                                             int currentYear) {
    try {
        if (line.empty())
            return std::nullopt;
        const char first = line[0];

        if (first == '+') {
            auto entry = ParseEplf(line);
            if (entry) {
                // The identifier stays unless the line names a link target.
                ApplyLinkRule(line, *entry);
            }
            return entry;
        }

        ListingEntry entry;
        if (type == ftpstVmsMultinet || type == ftpstVmsUcx) {
            if (line.find(';') == std::string_view::npos)
                return std::nullopt;
            std::string name = ListingToken(line, 0);
            name = name.substr(0, name.find(';'));
            const auto dir = name.find(".DIR");
            if (dir != std::string::npos) {
                entry.directory = true;
                name = name.substr(0, dir);
            }
            if (name.empty())
                return std::nullopt;
            entry.info.Name = name;
            entry.info.Size = ListingToken(line, 1);
            entry.info.DateTime = NormaliseListingDate(
                ListingToken(line, 2) + " " + ListingToken(line, 3), currentYear);
            ApplyLinkRule(line, entry);
            return entry;
        }
        if (type == ftpstVM) {
            entry.info.Name = ListingToken(line, 0) + "." + ListingToken(line, 1);
            entry.info.Size = ListingToken(line, 3);
            entry.info.DateTime = NormaliseListingDate(
                ListingToken(line, 6) + " " + ListingToken(line, 7), currentYear);
            ApplyLinkRule(line, entry);
            entry.directory = false;
            return entry;
        }
        if (type == ftpstVMVPS) {
            for (const char* skip : {"=", "totals:", " rf trks", "track limit"}) {
                if (line.find(skip) != std::string_view::npos)
                    return std::nullopt;
            }
            // The name: left to the implementer; the first two tokens as VM gives them.
            entry.info.Name = ListingToken(line, 0) + "." + ListingToken(line, 1);
            entry.info.Size = ListingToken(line, 2);
            entry.info.DateTime = NormaliseListingDate(
                ListingToken(line, 7) + " " + ListingToken(line, 6), currentYear);
            ApplyLinkRule(line, entry);
            entry.directory = false;
            return entry;
        }

        if (first >= '0' && first <= '9') {
            // DOS style: no link processing; the name starts in column 40.
            const std::string size = ListingToken(line, 2);
            if (size == "<DIR>") {
                entry.directory = true;
                entry.info.Size = "0";
            } else {
                entry.info.Size = size;
            }
            std::string date = ListingToken(line, 0);
            if (date.size() >= 6) {
                date[2] = '/';
                date[5] = '/';
            }
            const std::string time = ListingToken(line, 1);
            entry.info.DateTime = date + " " + time.substr(0, 5) + " " +
                                  (time.size() > 5 ? time.substr(5, 2) : std::string());
            if (line.size() <= 39)
                return std::nullopt;
            entry.info.Name = std::string(line.substr(39));
            if (entry.info.Name.empty())
                return std::nullopt;
            return entry;
        }

        if (first == '-' || first == 'f') {
            entry.directory = false;
        } else if (first == 'd' || first == 'l') {
            entry.directory = true;
        } else {
            return std::nullopt;
        }
        const std::string token0 = ListingToken(line, 0);
        const std::string token1 = ListingToken(line, 1);
        entry.info.Attributes = token0;
        entry.info.Owner = ListingToken(line, 2);
        entry.info.Group = ListingToken(line, 3);
        int k = 3;
        if (type == ftpstNetTerm) {
            k = 2;
        } else if (type == ftpstNetware) {
            k = 3;
        } else if (type == ftpstNetPresenz) {
            k = entry.directory ? 2 : 3;
        } else {
            if (token1.empty())
                return std::nullopt;
            k = 3;
            if (token1[0] != '[' && token0.size() <= 10)
                k = StartsWithDigit(ListingToken(line, 4)) ? 4 : 3;
        }
        entry.info.Size = ListingToken(line, k);
        entry.info.DateTime =
            NormaliseListingDate(ListingToken(line, k + 1) + " " + ListingToken(line, k + 2) + " " +
                                     ListingToken(line, k + 3),
                                 currentYear);
        entry.info.Name = NameAfterToken(line, k + 3);
        ApplyLinkRule(line, entry);
        if (entry.info.Name.empty())
            return std::nullopt;
        return entry;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace tavo::ftp
