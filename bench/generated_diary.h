// A diary the size a long-time user has (20 years of daily entries, or 100 to show how the
// program scales) in a temporary program folder, with entry texts made of valid CP932 Japanese like
// the program writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "core/date.h"
#include "core/entry_store.h"

namespace tavo::bench {

// The same seed always gives the same entry: about `publicBytes` of HTML-tagged public
// text, about `privateBytes` of plain private text and a short title, lines ending CR LF.
Entry MakeEntry(std::uint32_t seed, std::size_t publicBytes = 1000, std::size_t privateBytes = 200);

class GeneratedDiary {
public:
    static constexpr int kDays = 7305;          // 20 years
    static constexpr int kCenturyDays = 36525;  // 100 years

    // Writes one entry for each of the `days` days ending on `lastDay`, then the index.
    // Throws std::runtime_error when the folder cannot be written.
    explicit GeneratedDiary(const Date& lastDay, int days = kDays);

    const std::filesystem::path& folder() const { return folder_.path; }
    const Date& firstDay() const { return firstDay_; }
    int days() const { return days_; }

private:
    // A fresh temporary folder, removed with everything in it, also when generating fails.
    struct TemporaryFolder {
        TemporaryFolder();
        ~TemporaryFolder();
        TemporaryFolder(const TemporaryFolder&) = delete;
        TemporaryFolder& operator=(const TemporaryFolder&) = delete;

        std::filesystem::path path;
    };

    TemporaryFolder folder_;
    Date firstDay_;
    int days_;
};

}  // namespace tavo::bench
