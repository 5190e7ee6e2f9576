// tavo_sample_diary DIR: a small diary of two months in DIR, with gaps, written the way the
// program saves days, for checks of an installed Tavo (scripts/package-test.sh).
#include <cstdio>
#include <filesystem>

#include "bench/generated_diary.h"
#include "core/date.h"
#include "core/entry_store.h"

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: tavo_sample_diary DIR\n", stderr);
        return 2;
    }
    constexpr tavo::Date kFirstDay{2026, 10, 1}, kLastDay{2026, 11, 30};
    const tavo::EntryStore store{std::filesystem::path(argv[1])};
    std::error_code ec;
    std::filesystem::create_directories(store.DataFolder(), ec);
    std::string error = store.DataFolder().string() + ": " + ec.message();
    bool written = !ec;
    std::uint32_t day = 0;
    for (tavo::Date date = kFirstDay; written && date <= kLastDay;
         date = tavo::AddDays(date, 1), ++day) {
        if (day % 4 != 3)  // a diary has gaps
            written = store.SaveEntry(tavo::EntryFileName(date),
                                      tavo::bench::MakeEntry(day, 400, 80), &error);
    }
    if (!written) {
        std::fprintf(stderr, "tavo_sample_diary: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s: entries from %s to %s\n", argv[1], tavo::FormatSlashed(kFirstDay).c_str(),
                tavo::FormatSlashed(kLastDay).c_str());
    return 0;
}
