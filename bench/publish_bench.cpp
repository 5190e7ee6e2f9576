// Timings of page generation with the default style on a diary of 20 years: the month the
// output dialog usually makes, a year, and the whole diary in one page; and a year of a
// diary of 100 years beside that of 20, as a year's page must not grow with the diary.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "generated_diary.h"
#include "publish/page_generator.h"
#include "publish/style.h"

namespace {

using tavo::Date;
using tavo::bench::GeneratedDiary;

const Date kLastDay{2024, 12, 31};

// Generated on first use, with the default style that start-up writes.
struct PublishedDiary {
    explicit PublishedDiary(int days) : diary(kLastDay, days) {
        std::filesystem::create_directory(tavo::StyleFolder(diary.folder()));
        std::string error;
        if (!tavo::WriteDefaultStyle(diary.folder(), &error))
            throw std::runtime_error(error);
    }

    GeneratedDiary diary;
};

// Each generated once, the 100-year one only when its rows run.
const GeneratedDiary& Diary(int days) {
    if (days == GeneratedDiary::kCenturyDays) {
        static const PublishedDiary century(GeneratedDiary::kCenturyDays);
        return century.diary;
    }
    static const PublishedDiary twentyYears(GeneratedDiary::kDays);
    return twentyYears.diary;
}

void BM_GeneratePage(benchmark::State& state, int days, Date start, bool oldestFirst) {
    const GeneratedDiary& diary = Diary(days);  // generated outside the timing
    const std::filesystem::path& folder = diary.folder();
    const tavo::PageRequest request{"demo", start, kLastDay, oldestFirst};
    std::string page, error;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        if (!tavo::GeneratePage(folder, request, &page, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        bytes += static_cast<std::int64_t>(page.size());
        benchmark::DoNotOptimize(page);
    }
    state.SetBytesProcessed(bytes);
    state.counters["pages"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["page_bytes"] = static_cast<double>(page.size());
    state.counters["diary_days"] = static_cast<double>(diary.days());
}
constexpr int kTwentyYears = GeneratedDiary::kDays;
constexpr int kCentury = GeneratedDiary::kCenturyDays;

BENCHMARK_CAPTURE(BM_GeneratePage, month, kTwentyYears, Date{2024, 12, 1}, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_GeneratePage, year, kTwentyYears, Date{2024, 1, 1}, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_GeneratePage, year_of_100_years, kCentury, Date{2024, 1, 1}, false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_GeneratePage, twenty_years, kTwentyYears,
                  tavo::AddDays(kLastDay, 1 - GeneratedDiary::kDays), false)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// Oldest first puts every piece in front of the ones before it; it must cost no more.
BENCHMARK_CAPTURE(BM_GeneratePage, twenty_years_oldest_first, kTwentyYears,
                  tavo::AddDays(kLastDay, 1 - GeneratedDiary::kDays), true)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
