// tavo_sample_diary DIR: a small diary of two months in DIR, written the way the program
// saves days, for checks of an installed Tavo (scripts/package-test.sh).
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/cp932.h"
#include "core/date.h"
#include "core/entry_store.h"

namespace {

constexpr tavo::Date kFirstDay{2026, 10, 1};
constexpr tavo::Date kLastDay{2026, 11, 30};

constexpr std::u16string_view kTitles[] = {u"散歩",     u"図書館へ", u"雨の日",    u"友人と夕食",
                                           u"紅葉狩り", u"大掃除",   u"映画と音楽"};
constexpr std::u16string_view kSentences[] = {u"朝から川沿いを歩いた。",
                                              u"新しい本を三冊借りた。",
                                              u"一日中、家で本を読んだ。",
                                              u"駅前の店で久しぶりに話した。",
                                              u"山の木々がすっかり赤くなっていた。",
                                              u"窓を拭いて、棚を片付けた。",
                                              u"帰りに見た夕焼けがきれいだった😀。"};

std::string Cp932(std::u16string_view text) {
    return tavo::EncodeCp932(text).bytes;
}

// Varied but always the same for a day: HTML paragraphs, a line break, now and then a
// character code page 932 lacks (stored as a character reference).
tavo::Entry SampleEntry(int day) {
    const auto pick = [day](auto& list, int step) {
        return list[static_cast<std::size_t>(day * step) % std::size(list)];
    };
    tavo::Entry entry;
    entry.title = Cp932(pick(kTitles, 1));
    std::u16string text = u"<p>";
    text += pick(kSentences, 1);
    text += u"<br>\r\n";
    text += pick(kSentences, 3);
    text += u"</p>\r\n<p><b>";
    text += pick(kSentences, 5);
    text += u"</b></p>";
    entry.publicText = Cp932(text);
    entry.privateText = Cp932(std::u16string(u"予定: ") + std::u16string(pick(kSentences, 2)));
    return entry;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: tavo_sample_diary DIR\n", stderr);
        return 2;
    }
    const tavo::EntryStore store{std::filesystem::path(argv[1])};
    std::error_code ec;
    std::filesystem::create_directories(store.DataFolder(), ec);
    if (ec) {
        std::fprintf(stderr, "tavo_sample_diary: %s: %s\n", store.DataFolder().c_str(),
                     ec.message().c_str());
        return 1;
    }
    int days = 0;
    for (tavo::Date date = kFirstDay; date <= kLastDay; date = tavo::AddDays(date, 1), ++days) {
        if (days % 4 == 3)  // a diary has gaps
            continue;
        std::string error;
        if (!store.SaveEntry(tavo::EntryFileName(date), SampleEntry(days), &error)) {
            std::fprintf(stderr, "tavo_sample_diary: %s\n", error.c_str());
            return 1;
        }
    }
    std::printf("%s: entries from %s to %s\n", argv[1], tavo::FormatSlashed(kFirstDay).c_str(),
                tavo::FormatSlashed(kLastDay).c_str());
    return 0;
}
