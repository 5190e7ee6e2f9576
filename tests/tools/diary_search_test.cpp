#include "tools/diary_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/entry_store.h"
#include "core/temp_folder.h"

namespace {

using tavo::Date;
using tavo::Entry;
using tavo::SearchHit;
using tavo::SearchRequest;
using tavo::SearchResult;

constexpr size_t npos = std::string_view::npos;

// Characters whose second byte is an ASCII letter: ア 83 41, イ 83 43, 漾 E0 41, 髙 FC 41.
const std::string kA = "\x83\x41";
const std::string kI = "\x83\x43";

struct FindCase {
    const char* name;
    std::string haystack;
    std::string needle;
    size_t expected;
};

TEST(FindCp932Test, MatchesOnlyOnCharacterBoundaries) {
    const FindCase cases[] = {
        {"plain", "abc", "b", 1},
        {"empty needle", "abc", "", 0},
        {"empty haystack", "", "a", npos},
        {"case-sensitive", "abc", "ABC", npos},
        {"trail byte equals the needle", kA, "A", npos},
        {"trail byte equals the needle's first byte", kA + "B", "AB", npos},
        {"trail byte and the next character", kA + kI, "A" + kI, npos},
        {"misplaced first, then on a boundary", kA + "A" + kI, "A" + kI, 2},
        {"table character 0x955C and a backslash", "\x95\x5C", "\\", npos},
        {"backslash after 0x955C", "\x95\x5C\\", "\\", 2},
        {"lead byte 0xE0", "\xE0\x41", "A", npos},
        {"lead byte 0xFC", "\xFC\x41", "A", npos},
        {"half-width katakana is one byte", "\xB1\x41", "A", 1},
        {"0x80 is one byte", "\x80\x41", "A", 1},
        {"0xFD is one byte", "\xFD\x41", "A", 1},
        {"two-byte needle", "x" + kA + kI, kI, 3},
        {"needle longer than the text", "ab", "abc", npos},
        // A run of lead-range bytes pairs up from the start: 95 95 | 95 41 | 41.
        {"run of lead-range bytes", "\x95\x95\x95\x41\x41", "A", 4},
        {"run of lead-range bytes, on a boundary", "\x95\x95\x95\x41\x41", "\x95\x41", 2},
        {"run of lead-range bytes, off a boundary", "\x95\x95\x95\x41", "\x95\x95\x41", npos},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(tavo::FindCp932(c.haystack, c.needle), c.expected) << c.name;
}

class DiarySearchTest : public testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directory(data()); }

    std::filesystem::path data() const { return folder_.path() / "data"; }
    void Put(const Date& date, const Entry& entry) {
        WriteAll(data() / tavo::EntryFileName(date), tavo::EntryFileBytes(entry));
    }

    static SearchRequest Range(std::string text, Date first, Date last) {
        SearchRequest request;
        request.text = std::move(text);
        request.first = first;
        request.last = last;
        return request;
    }
    static SearchRequest All(std::string text) {
        SearchRequest request;
        request.text = std::move(text);
        request.allEntries = true;
        return request;
    }

    SearchResult Search(const SearchRequest& request, std::vector<int>* progress = nullptr) {
        SearchResult result;
        std::string error;
        const bool ok =
            tavo::SearchDiary(folder_.path(), request, &result, &error, [progress](int percent) {
                if (progress)
                    progress->push_back(percent);
            });
        EXPECT_TRUE(ok) << error;
        return result;
    }

    static std::vector<Date> Dates(const SearchResult& result) {
        std::vector<Date> dates;
        for (const SearchHit& hit : result.hits)
            dates.push_back(hit.date);
        return dates;
    }

    TempFolder folder_;
};

TEST_F(DiarySearchTest, ReadsEntryFilesAsStored) {
    // "abc" scrambled by hand: bytes 61+1, 62+2, 63+3, pairs in reverse.
    WriteAll(data() / "20240105.txt", "666462\r\n\r\n\r\n");
    const SearchResult result = Search(Range("bc", {2024, 1, 5}, {2024, 1, 5}));
    EXPECT_EQ(result.hits, (std::vector<SearchHit>{{{2024, 1, 5}, "abc"}}));
}

TEST_F(DiarySearchTest, HandEditedLinesDecodeByTheTolerantRule) {
    // "6g": the first digit 6 stands alone; 6 less its position 1 is byte 05.
    WriteAll(data() / "20240105.txt", "6g\r\n66\r\n\r\n");
    const SearchResult result = Search(Range("e", {2024, 1, 5}, {2024, 1, 5}));
    EXPECT_EQ(result.hits, (std::vector<SearchHit>{{{2024, 1, 5}, "\x05"}}));
}

TEST_F(DiarySearchTest, PartsAreJoinedWithoutSeparator) {
    Put({2024, 1, 5}, {"abc", "def", "ghi"});
    struct Case {
        const char* text;
        bool title, publicText, privateText;
        bool found;
    } cases[] = {
        {"cd", true, true, false, true},    {"cd", true, false, false, false},
        {"cd", false, true, false, false},  {"fg", false, true, true, true},
        {"cg", true, false, true, true},    {"cg", true, true, true, false},
        {"cg", false, false, false, false}, {"ig", true, true, true, false},
        {"ABC", true, true, true, false},   {"abcdefghi", true, true, true, true},
    };
    for (const Case& c : cases) {
        SearchRequest request = Range(c.text, {2024, 1, 5}, {2024, 1, 5});
        request.title = c.title;
        request.publicText = c.publicText;
        request.privateText = c.privateText;
        EXPECT_EQ(Search(request).hits.size(), c.found ? 1u : 0u)
            << c.text << " " << c.title << c.publicText << c.privateText;
    }
}

TEST_F(DiarySearchTest, NeverMatchesInsideATwoByteCharacterAcrossTheJoin) {
    // Title ア (83 41) joined to public text B gives 83 41 42: "AB" starts on a trail byte.
    Put({2024, 1, 5}, {kA, "B", ""});
    Put({2024, 1, 6}, {"A", "B", ""});
    EXPECT_EQ(Dates(Search(Range("AB", {2024, 1, 1}, {2024, 1, 31}))),
              (std::vector<Date>{{2024, 1, 6}}));
    EXPECT_EQ(Dates(Search(All("AB"))), (std::vector<Date>{{2024, 1, 6}}));
}

TEST_F(DiarySearchTest, EmptyTextListsEveryEntryOfTheRangeWithItsTitle) {
    Put({2024, 1, 4}, {"before", "x", ""});
    Put({2024, 1, 7}, {"", "", "only private"});
    Put({2024, 1, 5}, {kA, "", ""});
    Put({2024, 1, 9}, {"after", "", ""});
    for (bool parts : {true, false}) {
        SearchRequest request = Range("", {2024, 1, 5}, {2024, 1, 8});
        request.title = request.publicText = request.privateText = parts;
        EXPECT_EQ(Search(request).hits,
                  (std::vector<SearchHit>{{{2024, 1, 5}, kA}, {{2024, 1, 7}, ""}}));
    }
}

TEST_F(DiarySearchTest, NoPartChosenFindsNothingForAText) {
    Put({2024, 1, 5}, {"abc", "abc", "abc"});
    SearchRequest request = All("abc");
    request.title = request.publicText = request.privateText = false;
    EXPECT_TRUE(Search(request).hits.empty());
}

TEST_F(DiarySearchTest, RangeEndingBeforeItsStartFindsNothing) {
    Put({2024, 1, 5}, {"abc", "", ""});
    std::vector<int> progress;
    const SearchResult result = Search(Range("", {2024, 1, 6}, {2024, 1, 5}), &progress);
    EXPECT_TRUE(result.hits.empty());
    EXPECT_TRUE(progress.empty());
}

TEST_F(DiarySearchTest, RangeProgressCountsDaysAndEndsAtHundred) {
    Put({2024, 1, 5}, {"a", "", ""});
    std::vector<int> progress;
    Search(Range("", {2024, 1, 5}, {2024, 1, 5}), &progress);
    EXPECT_EQ(progress, (std::vector<int>{100}));

    progress.clear();
    Search(Range("", {2024, 1, 5}, {2024, 1, 7}), &progress);
    EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));

    progress.clear();
    Search(Range("", {2024, 1, 1}, {2024, 1, 7}), &progress);
    EXPECT_EQ(progress, (std::vector<int>{14, 28, 42, 57, 71, 85, 100}));
}

TEST_F(DiarySearchTest, AllEntriesProgressStopsShortOfHundred) {
    Put({2024, 1, 5}, {"a", "", ""});
    Put({2024, 1, 6}, {"b", "", ""});
    Put({2024, 1, 7}, {"c", "", ""});
    std::vector<int> progress;
    Search(All(""), &progress);
    EXPECT_EQ(progress, (std::vector<int>{0, 33, 66}));
}

TEST_F(DiarySearchTest, RangeCrossesMonthAndYearEnds) {
    for (const Date& date : {Date{2023, 12, 30}, Date{2023, 12, 31}, Date{2024, 1, 1},
                             Date{2024, 2, 29}, Date{2024, 3, 1}, Date{2024, 3, 2}})
        Put(date, {"t", "", ""});
    EXPECT_EQ(Dates(Search(Range("t", {2023, 12, 31}, {2024, 3, 1}))),
              (std::vector<Date>{{2023, 12, 31}, {2024, 1, 1}, {2024, 2, 29}, {2024, 3, 1}}));
}

TEST_F(DiarySearchTest, AllEntriesFindsEveryFileInDateOrder) {
    for (const Date& date :
         {Date{2024, 3, 1}, Date{1999, 12, 31}, Date{2024, 1, 5}, Date{2010, 6, 15}})
        Put(date, {"t", "", "plans"});
    EXPECT_EQ(Dates(Search(All("plans"))),
              (std::vector<Date>{{1999, 12, 31}, {2010, 6, 15}, {2024, 1, 5}, {2024, 3, 1}}));
}

TEST_F(DiarySearchTest, AllEntriesPassesOverSyncToolsConflictCopies) {
    Put({2024, 1, 5}, {"mine", "", ""});
    for (const char* copy : {"20240105.sync-conflict-20250101-120000-ABCDEFG.txt",
                             "20240105 (Taro's conflicted copy 2025-01-01).txt",
                             "20240105 (conflicted copy 2025-01-01 120000).txt"})
        WriteAll(data() / copy, tavo::EntryFileBytes({"theirs", "", ""}));
    const SearchResult result = Search(All(""));
    EXPECT_EQ(result.hits, (std::vector<SearchHit>{{{2024, 1, 5}, "mine"}}));
    EXPECT_TRUE(result.skipped.empty());
}

TEST_F(DiarySearchTest, StrayAndShortFilesAreSkippedAndCounted) {
    Put({2024, 1, 5}, {"t", "", ""});
    Put({2024, 1, 8}, {"t", "", ""});
    WriteAll(data() / "notes.txt", "hello\r\n");
    WriteAll(data() / "2024abcd.txt", "");
    WriteAll(data() / "20241340.txt", "");        // month 13
    WriteAll(data() / "20240106.txt", "74\r\n");  // title only: "s"
    std::filesystem::create_directory(data() / "backup");
    // What an interrupted save leaves beside the entry: not an entry of its own.
    WriteAll(data() / "20240105.txt.tmp-12-3", tavo::EntryFileBytes({"t", "", ""}));

    const SearchResult result = Search(All(""));
    EXPECT_EQ(Dates(result), (std::vector<Date>{{2024, 1, 5}, {2024, 1, 8}}));
    std::vector<std::string> skipped;
    for (const auto& file : result.skipped) {
        skipped.push_back(file.name);
        EXPECT_FALSE(file.reason.empty()) << file.name;
    }
    EXPECT_EQ(skipped, (std::vector<std::string>{"20240106.txt", "20241340.txt", "2024abcd.txt",
                                                 "backup", "notes.txt"}));
}

TEST_F(DiarySearchTest, ShortFileIsSkippedOnlyWhenAChosenPartIsMissing) {
    WriteAll(data() / "20240106.txt", "74\r\n");  // "s", one line
    Put({2024, 1, 7}, {"t", "", ""});
    SearchRequest request = Range("s", {2024, 1, 5}, {2024, 1, 8});
    SearchResult result = Search(request);
    EXPECT_TRUE(result.hits.empty());
    ASSERT_EQ(result.skipped.size(), 1u);
    EXPECT_EQ(result.skipped[0].name, "20240106.txt");

    request.publicText = request.privateText = false;
    result = Search(request);
    EXPECT_EQ(result.hits, (std::vector<SearchHit>{{{2024, 1, 6}, "s"}}));
    EXPECT_TRUE(result.skipped.empty());
}

TEST_F(DiarySearchTest, MissingDataFolderIsAnError) {
    std::filesystem::remove(data());
    SearchResult result;
    std::string error;
    EXPECT_FALSE(tavo::SearchDiary(folder_.path(), All(""), &result, &error));
    EXPECT_NE(error.find("data"), std::string::npos);
}

// Long enough for the search to spread over threads; results, skips and progress still
// come in the order of the list.
TEST_F(DiarySearchTest, LongListsKeepTheirOrder) {
    const Date first{2020, 1, 1};
    const int days = 1000;
    std::vector<Date> expected;
    std::vector<std::string> shortFiles;
    for (int i = 0; i < days; i += 2) {
        const Date date = tavo::AddDays(first, i);
        if (i % 74 == 0) {
            WriteAll(data() / tavo::EntryFileName(date), "74\r\n");
            shortFiles.push_back(tavo::EntryFileName(date));
        } else {
            Put(date, {std::to_string(i), "", i % 6 == 0 ? "plans" : "none"});
            if (i % 6 == 0)
                expected.push_back(date);
        }
    }
    for (bool all : {true, false}) {
        std::vector<int> progress;
        const SearchResult result = Search(
            all ? All("plans") : Range("plans", first, tavo::AddDays(first, days - 1)), &progress);
        EXPECT_EQ(Dates(result), expected);
        ASSERT_EQ(result.skipped.size(), shortFiles.size());
        for (size_t k = 0; k < shortFiles.size(); ++k) {
            EXPECT_EQ(result.skipped[k].name, shortFiles[k]);
            EXPECT_EQ(result.skipped[k].reason,
                      tavo::TooFewLinesText(3, 1, data() / shortFiles[k]));
        }
        const int n = all ? days / 2 : days;
        ASSERT_EQ(progress.size(), static_cast<size_t>(n));
        for (int c = 0; c < n; ++c)
            EXPECT_EQ(progress[c], all ? c * 100 / n : (c + 1) * 100 / n) << c;
    }
}

}  // namespace
