// Timings of the backup of a diary of 20 years: CreateSnapshot against `zip -qr` of the same
// items, in the same run and taking turns, so both meet the same cache. Prints the medians
// of a few runs and the ratio ours / zip (the aim is 1.5 at most), then the other steps a
// backup involves: checking a snapshot, as every start does, and restoring it.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "generated_diary.h"
#include "tools/backup.h"

namespace {

namespace fs = std::filesystem;
using tavo::bench::GeneratedDiary;

constexpr int kRuns = 5;

double Milliseconds(const std::function<bool()>& step) {
    const auto start = std::chrono::steady_clock::now();
    if (!step())
        std::exit(1);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    const GeneratedDiary diary(tavo::Date{2024, 12, 31});
    const fs::path backups = diary.folder() / "backup";
    const fs::path ours = backups / tavo::SnapshotFileName("20241231-235959");
    const fs::path theirs = backups / "zip.zip";
    std::string items;
    for (const std::string_view item : tavo::kSnapshotItems) {
        if (fs::exists(diary.folder() / item))
            items += " " + std::string(item);
    }
    const std::string zipCommand =
        "cd '" + diary.folder().string() + "' && zip -qr '" + theirs.string() + "'" + items;

    std::vector<double> oursTimes, zipTimes;
    for (int run = 0; run < kRuns; ++run) {
        fs::remove(ours);
        oursTimes.push_back(Milliseconds([&] {
            std::string error;
            const bool created =
                tavo::CreateSnapshot(diary.folder(), backups, "20241231-235959", nullptr, &error);
            if (!created)
                std::fprintf(stderr, "%s\n", error.c_str());
            return created;
        }));
        fs::remove(theirs);
        zipTimes.push_back(Milliseconds([&] { return std::system(zipCommand.c_str()) == 0; }));
    }
    const double oursMedian = Median(oursTimes);
    const double zipMedian = Median(zipTimes);
    std::printf("%d entries, medians of %d runs\n", GeneratedDiary::kDays, kRuns);
    std::printf("CreateSnapshot  %8.1f ms  %9ju bytes\n", oursMedian,
                static_cast<std::uintmax_t>(fs::file_size(ours)));
    std::printf("zip -qr         %8.1f ms  %9ju bytes\n", zipMedian,
                static_cast<std::uintmax_t>(fs::file_size(theirs)));
    std::printf("ours / zip      %8.2f\n", oursMedian / zipMedian);

    std::vector<double> checkTimes, restoreTimes;
    for (int run = 0; run < kRuns; ++run) {
        checkTimes.push_back(
            Milliseconds([&] { return tavo::HasSnapshotOfDay(backups, "20241231"); }));
        restoreTimes.push_back(Milliseconds([&] {
            std::string error;
            const bool restored = tavo::RestoreSnapshot(diary.folder(), ours, &error);
            if (!restored)
                std::fprintf(stderr, "%s\n", error.c_str());
            return restored;
        }));
    }
    std::printf("HasSnapshotOfDay %7.1f ms\n", Median(checkTimes));
    std::printf("RestoreSnapshot %8.1f ms\n", Median(restoreTimes));
    return 0;
}
