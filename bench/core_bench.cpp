// Timings of the work behind what the user waits for: opening a day, leaving an edited
// day, and the jumps between entries, on diaries of 20 and of 100 years side by side, so
// that how they grow with the diary shows.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/scramble.h"
#include "generated_diary.h"

namespace {

using tavo::Entry;
using tavo::EntryStore;
using tavo::bench::GeneratedDiary;

// Each generated once, on first use, so that running only the text benchmarks does not
// wait for them (the 100-year diary takes several seconds).
const GeneratedDiary& Diary(std::int64_t days) {
    constexpr tavo::Date kLastDay{2024, 12, 31};
    if (days == GeneratedDiary::kCenturyDays) {
        static const GeneratedDiary century(kLastDay, GeneratedDiary::kCenturyDays);
        return century;
    }
    static const GeneratedDiary twentyYears(kLastDay);
    return twentyYears;
}

// The diary lengths every diary benchmark runs at, one row each.
void DiaryLengths(benchmark::internal::Benchmark* b) {
    b->ArgName("days")->Arg(GeneratedDiary::kDays)->Arg(GeneratedDiary::kCenturyDays);
}

// The time per entry of the diary: flat when the work grows linearly with it.
void CountPerEntry(benchmark::State& state, const GeneratedDiary& diary) {
    state.counters["per_entry"] = benchmark::Counter(
        static_cast<double>(diary.days()),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

std::string DayFileName(const GeneratedDiary& diary, int day) {
    return tavo::EntryFileName(tavo::AddDays(diary.firstDay(), day));
}

// About the size of a day's public and private text together.
const std::string& EntryText() {
    static const std::string text = tavo::bench::MakeEntry(1, 1200, 0).publicText;
    return text;
}

void BM_EncodeText(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(tavo::EncodeText(EntryText()));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(EntryText().size()));
}
BENCHMARK(BM_EncodeText);

void BM_DecodeText(benchmark::State& state) {
    const std::string encoded = tavo::EncodeText(EntryText());
    for (auto _ : state)
        benchmark::DoNotOptimize(tavo::DecodeText(encoded));
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(EntryText().size()));
}
BENCHMARK(BM_DecodeText);

// Moving to the next day after typing in the shown one: the edited day is saved, which
// also checks the index, and the next day is read.
void BM_DaySwitch(benchmark::State& state) {
    const GeneratedDiary& diary = Diary(state.range(0));
    const EntryStore store(diary.folder());
    std::string error;
    int day = 0;
    Entry shown;
    if (store.ReadEntry(DayFileName(diary, day), &shown, &error) != EntryStore::ReadStatus::Found) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        shown.publicText += "\x82\xA0";  // one typed character (hiragana a)
        const int next = (day + 1) % diary.days();
        if (!store.SaveEntry(DayFileName(diary, day), shown, &error) ||
            store.ReadEntry(DayFileName(diary, next), &shown, &error) !=
                EntryStore::ReadStatus::Found) {
            state.SkipWithError(error.c_str());
            break;
        }
        day = next;
    }
}
BENCHMARK(BM_DaySwitch)->Apply(DiaryLengths)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RebuildIndex(benchmark::State& state) {
    const GeneratedDiary& diary = Diary(state.range(0));
    const EntryStore store(diary.folder());
    std::string error;
    for (auto _ : state) {
        if (!store.RebuildIndex(&error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    CountPerEntry(state, diary);
}
BENCHMARK(BM_RebuildIndex)->Apply(DiaryLengths)->Unit(benchmark::kMillisecond)->UseRealTime();

// The previous- and next-entry jumps read and sort the index afresh each time.
void BM_ReadIndex(benchmark::State& state) {
    const GeneratedDiary& diary = Diary(state.range(0));
    const EntryStore store(diary.folder());
    std::string error;
    for (auto _ : state) {
        std::vector<std::string> names;
        if (!store.ReadIndex(&names, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(names);
    }
    CountPerEntry(state, diary);
}
BENCHMARK(BM_ReadIndex)->Apply(DiaryLengths)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
