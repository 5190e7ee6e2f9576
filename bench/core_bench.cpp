// Timings of the work behind what the user waits for: opening a day, leaving an edited
// day, and the jumps between entries, on a diary of 20 years.
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

// Generated on first use, so that running only the text benchmarks does not wait for it.
const GeneratedDiary& Diary() {
    static const GeneratedDiary diary(tavo::Date{2024, 12, 31});
    return diary;
}

std::string DayFileName(int day) {
    return tavo::EntryFileName(tavo::AddDays(Diary().firstDay(), day));
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
    const EntryStore store(Diary().folder());
    std::string error;
    int day = 0;
    Entry shown;
    if (store.ReadEntry(DayFileName(day), &shown, &error) != EntryStore::ReadStatus::Found) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        shown.publicText += "\x82\xA0";  // one typed character (hiragana a)
        const int next = (day + 1) % GeneratedDiary::kDays;
        if (!store.SaveEntry(DayFileName(day), shown, &error) ||
            store.ReadEntry(DayFileName(next), &shown, &error) != EntryStore::ReadStatus::Found) {
            state.SkipWithError(error.c_str());
            break;
        }
        day = next;
    }
}
BENCHMARK(BM_DaySwitch)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RebuildIndex(benchmark::State& state) {
    const EntryStore store(Diary().folder());
    std::string error;
    for (auto _ : state) {
        if (!store.RebuildIndex(&error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
}
BENCHMARK(BM_RebuildIndex)->Unit(benchmark::kMillisecond)->UseRealTime();

// The previous- and next-entry jumps read and sort the index afresh each time.
void BM_ReadIndex(benchmark::State& state) {
    const EntryStore store(Diary().folder());
    std::string error;
    for (auto _ : state) {
        std::vector<std::string> names;
        if (!store.ReadIndex(&names, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(names);
    }
}
BENCHMARK(BM_ReadIndex)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
