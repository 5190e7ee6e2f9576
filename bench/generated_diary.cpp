#include "generated_diary.h"

#include <stdlib.h>

#include <array>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string_view>

namespace tavo::bench {
namespace {

using Random = std::mt19937;

int Pick(Random& rng, int low, int high) {
    return std::uniform_int_distribution(low, high)(rng);
}

void AppendChar(std::string* out, int lead, int trail) {
    out->push_back(static_cast<char>(lead));
    out->push_back(static_cast<char>(trail));
}

// Hiragana: 0x829F (small a) .. 0x82F1 (n).
void AppendHiragana(Random& rng, std::string* out) {
    AppendChar(out, 0x82, Pick(rng, 0x9F, 0xF1));
}

// Katakana: 0x8340 .. 0x8396; 0x837F is not a character.
void AppendKatakana(Random& rng, std::string* out) {
    const int trail = Pick(rng, 0x40, 0x95);
    AppendChar(out, 0x83, trail < 0x7F ? trail : trail + 1);
}

// First-level kanji from the fully assigned lead bytes 0x89..0x97; trail bytes
// 0x40..0x7E and 0x80..0xFC.
void AppendKanji(Random& rng, std::string* out) {
    const int trail = Pick(rng, 0x40, 0xFB);
    AppendChar(out, Pick(rng, 0x89, 0x97), trail < 0x7F ? trail : trail + 1);
}

// Words of a few kanji or katakana followed by hiragana, commas now and then, ending "。".
void AppendSentence(Random& rng, std::string* out) {
    const int words = Pick(rng, 3, 8);
    for (int word = 0; word < words; ++word) {
        if (Pick(rng, 0, 9) == 0) {
            for (int i = Pick(rng, 2, 5); i > 0; --i)
                AppendKatakana(rng, out);
        } else {
            for (int i = Pick(rng, 1, 3); i > 0; --i)
                AppendKanji(rng, out);
        }
        for (int i = Pick(rng, 1, 4); i > 0; --i)
            AppendHiragana(rng, out);
        if (word + 1 < words && Pick(rng, 0, 3) == 0)
            AppendChar(out, 0x81, 0x41);  // 、
    }
    AppendChar(out, 0x81, 0x42);  // 。
}

// Paragraphs of one to three sentences, each line a <p> element, or, in a few, a
// sentence followed by <br>.
std::string PublicText(Random& rng, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        if (!text.empty())
            text += "\r\n";
        const bool paragraph = Pick(rng, 0, 4) != 0;
        text += paragraph ? "<p>" : "";
        for (int i = Pick(rng, 1, 3); i > 0; --i)
            AppendSentence(rng, &text);
        text += paragraph ? "</p>" : "<br>";
    }
    return text;
}

std::string PlainText(Random& rng, std::size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        if (!text.empty())
            text += "\r\n";
        AppendSentence(rng, &text);
    }
    return text;
}

std::string Title(Random& rng) {
    std::string title;
    for (int i = Pick(rng, 2, 4); i > 0; --i)
        AppendKanji(rng, &title);
    for (int i = Pick(rng, 1, 3); i > 0; --i)
        AppendHiragana(rng, &title);
    return title;
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

Entry MakeEntry(std::uint32_t seed, std::size_t publicBytes, std::size_t privateBytes) {
    Random rng(seed);
    Entry entry;
    entry.title = Title(rng);
    entry.publicText = PublicText(rng, publicBytes);
    entry.privateText = PlainText(rng, privateBytes);
    return entry;
}

GeneratedDiary::TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavo-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create the folder " + pattern);
    path = pattern;
}

GeneratedDiary::TemporaryFolder::~TemporaryFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

GeneratedDiary::GeneratedDiary(const Date& lastDay, int days)
    : firstDay_(AddDays(lastDay, 1 - days)), days_(days) {
    // The files are written as SaveEntry would write them, without the fsync and the
    // index update each save does, which would make generating take minutes.
    const EntryStore store(folder());
    std::filesystem::create_directory(store.DataFolder());
    for (int day = 0; day < days_; ++day) {
        const Date date = AddDays(firstDay_, day);
        WriteBytes(store.EntryPath(EntryFileName(date)),
                   EntryFileBytes(MakeEntry(static_cast<std::uint32_t>(day))));
    }
    std::string error;
    if (!store.RebuildIndex(&error))
        throw std::runtime_error(error);
}

}  // namespace tavo::bench
