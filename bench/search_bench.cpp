// Timings of the diary search on 20 and 100 years of entries, for a text that occurs nowhere,
// so every entry is read, decoded and searched in full. Beside them, in the same run and on
// the same files: the floor of reading the entry files (`cat`) and `grep -r` over the same
// texts stored as plain code page 932 files, and at the end the searches' times over grep's.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "generated_diary.h"
#include "tools/diary_search.h"

namespace {

using tavo::Date;
using tavo::bench::GeneratedDiary;

const Date kLastDay{2024, 12, 31};
// 予定表 in code page 932: three kanji the generated texts do not hold together.
const std::string kAbsentText = "\x97\x5C\x92\xE8\x95\x5C";

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

// The generated diary, and the same texts unscrambled, one plain file per day, for grep.
struct SearchedDiary {
    explicit SearchedDiary(int days) : diary(kLastDay, days) {
        std::filesystem::create_directory(plainFolder());
        for (int day = 0; day < days; ++day) {
            const tavo::Entry entry = tavo::bench::MakeEntry(static_cast<std::uint32_t>(day));
            WriteFile(
                plainFolder() / tavo::EntryFileName(tavo::AddDays(diary.firstDay(), day)),
                entry.title + "\r\n" + entry.publicText + "\r\n" + entry.privateText + "\r\n");
        }
        WriteFile(needleFile(), kAbsentText + "\n");
    }

    std::filesystem::path plainFolder() const { return diary.folder() / "plain"; }
    std::filesystem::path needleFile() const { return diary.folder() / "needle.txt"; }

    GeneratedDiary diary;
};

// Each size is generated once, on first use, outside the timings.
const SearchedDiary& Diary(int days) {
    static std::map<int, SearchedDiary> diaries;
    auto it = diaries.find(days);
    if (it == diaries.end())
        it = diaries.try_emplace(days, days).first;
    return it->second;
}

void BM_Search(benchmark::State& state, bool allEntries, int days) {
    const SearchedDiary& diary = Diary(days);
    tavo::SearchRequest request;
    request.text = kAbsentText;
    request.allEntries = allEntries;
    request.first = diary.diary.firstDay();
    request.last = kLastDay;
    tavo::SearchResult result;
    std::string error;
    for (auto _ : state) {
        if (!tavo::SearchDiary(diary.diary.folder(), request, &result, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(result);
    }
    state.counters["hits"] = static_cast<double>(result.hits.size());
    state.counters["skipped"] = static_cast<double>(result.skipped.size());
}
BENCHMARK_CAPTURE(BM_Search, all_entries_20_years, true, GeneratedDiary::kDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, range_20_years, false, GeneratedDiary::kDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// A shell command over the generated files; its time is wall-clock, as the searches' are.
void BM_Command(benchmark::State& state, const std::string& command) {
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        // grep exits with 1 when it finds nothing, which is the point here.
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
            state.SkipWithError(("failed: " + command).c_str());
            break;
        }
    }
}

void BM_CatEntryFiles(benchmark::State& state, int days) {
    BM_Command(state, "cd '" + (Diary(days).diary.folder() / "data").string() +
                          "' && cat -- * > /dev/null");
}
BENCHMARK_CAPTURE(BM_CatEntryFiles, 20_years, GeneratedDiary::kDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_GrepPlainFiles(benchmark::State& state, int days) {
    BM_Command(state, "LC_ALL=C grep -r -F -f '" + Diary(days).needleFile().string() + "' '" +
                          Diary(days).plainFolder().string() + "' > /dev/null");
}
BENCHMARK_CAPTURE(BM_GrepPlainFiles, 20_years, GeneratedDiary::kDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The same over 100 years, to show the times grow no faster than the diary.
BENCHMARK_CAPTURE(BM_Search, all_entries_100_years, true, GeneratedDiary::kCenturyDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, range_100_years, false, GeneratedDiary::kCenturyDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_GrepPlainFiles, 100_years, GeneratedDiary::kCenturyDays)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The console table, then each search's time over grep's on the same diary.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (!run.error_occurred && run.run_type == Run::RT_Iteration)
                times_[run.benchmark_name()] = run.GetAdjustedRealTime();
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* years : {"20_years", "100_years"}) {
            const auto grep = times_.find(std::string("BM_GrepPlainFiles/") + years + "/real_time");
            if (grep == times_.end())
                continue;
            for (const char* search : {"all_entries", "range"}) {
                const auto it =
                    times_.find(std::string("BM_Search/") + search + "_" + years + "/real_time");
                if (it != times_.end())
                    std::printf("search / grep -r, %s %s: %.2fx\n", search, years,
                                it->second / grep->second);
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
