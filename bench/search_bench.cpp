// Timings of the diary search on 20 years of entries, for a text that occurs nowhere, so
// every entry is read, decoded and searched in full. Beside them, in the same run and on the
// same files: the floor of reading the entry files (`cat`) and `grep -r` over the same texts
// stored as plain code page 932 files.
#include <benchmark/benchmark.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

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
    SearchedDiary() {
        std::filesystem::create_directory(plainFolder());
        for (int day = 0; day < GeneratedDiary::kDays; ++day) {
            const tavo::Entry entry = tavo::bench::MakeEntry(static_cast<std::uint32_t>(day));
            WriteFile(
                plainFolder() / tavo::EntryFileName(tavo::AddDays(diary.firstDay(), day)),
                entry.title + "\r\n" + entry.publicText + "\r\n" + entry.privateText + "\r\n");
        }
        WriteFile(needleFile(), kAbsentText + "\n");
    }

    std::filesystem::path plainFolder() const { return diary.folder() / "plain"; }
    std::filesystem::path needleFile() const { return diary.folder() / "needle.txt"; }

    GeneratedDiary diary{kLastDay};
};

const SearchedDiary& Diary() {
    static const SearchedDiary searched;
    return searched;
}

void BM_Search(benchmark::State& state, bool allEntries) {
    const SearchedDiary& diary = Diary();  // generated outside the timing
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
BENCHMARK_CAPTURE(BM_Search, all_entries, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, range_20_years, false)->Unit(benchmark::kMillisecond)->UseRealTime();

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

void BM_CatEntryFiles(benchmark::State& state) {
    BM_Command(state,
               "cd '" + (Diary().diary.folder() / "data").string() + "' && cat -- * > /dev/null");
}
BENCHMARK(BM_CatEntryFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GrepPlainFiles(benchmark::State& state) {
    BM_Command(state, "LC_ALL=C grep -r -F -f '" + Diary().needleFile().string() + "' '" +
                          Diary().plainFolder().string() + "' > /dev/null");
}
BENCHMARK(BM_GrepPlainFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
