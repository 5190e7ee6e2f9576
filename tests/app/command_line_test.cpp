#include "app/command_line.h"

#include <gtest/gtest.h>

#include "core/temp_folder.h"

namespace {

using Action = StartOptions::Action;

TEST(CommandLineTest, ReadsOptionsAndRefusesMistakesInOneLine) {
    TempFolder temp;
    const QString dir = QString::fromStdString(temp.path().string());
    const std::filesystem::path real = std::filesystem::canonical(temp.path());
    std::filesystem::create_directories(temp.path() / "sub" / "deep");
    std::filesystem::create_directory_symlink(temp.path() / "sub" / "deep", temp.path() / "link");
    const struct {
        QStringList arguments;
        Action action;
        std::optional<QDate> date;
        std::optional<std::filesystem::path> folder;
        const char* says;   // in the text
        bool named = true;  // the program's name comes first
    } cases[] = {
        {{}, Action::Start, std::nullopt, {}, ""},
        {{}, Action::Refuse, {}, {}, "tavo: ", false},
        {{"--date", "2004-01-05"}, Action::Start, QDate(2004, 1, 5), {}, ""},
        {{"--date=2004-01-05", "--folder", dir}, Action::Start, QDate(2004, 1, 5), real, ""},
        {{"--folder", dir + "/."}, Action::Start, {}, real, ""},
        // The folder the system finds through the link, not the one the text spells.
        {{"--folder", dir + "/link/../deep"}, Action::Start, {}, real / "sub" / "deep", ""},
        {{"--folder", dir + "/link/.."}, Action::Start, {}, real / "sub", ""},
        // Qt's own options are left to the application object.
        {{"-platform", "offscreen", "-style=fusion", "-reverse"}, Action::Start, {}, {}, ""},
        {{"--help"}, Action::ShowHelp, {}, {}, "--folder DIR"},
        {{"-h", "--date", "bad"}, Action::ShowHelp, {}, {}, "--date YYYY-MM-DD"},
        {{"--version"}, Action::ShowVersion, {}, {}, "Tavo 2.422"},
        {{"--bogus"}, Action::Refuse, {}, {}, "bogus"},
        {{"diary"}, Action::Refuse, {}, {}, "diary"},
        {{"--date"}, Action::Refuse, {}, {}, "--date"},
        {{"--date", "2004-02-30"}, Action::Refuse, {}, {}, "2004-02-30"},
        {{"--date", "1600-12-31"}, Action::Refuse, {}, {}, "1601-01-01"},
        {{"--date", "2024-02-29"}, Action::Start, QDate(2024, 2, 29), {}, ""},
        {{"--date", "2004/01/05"}, Action::Refuse, {}, {}, "2004/01/05"},
        {{"--date", "20040105"}, Action::Refuse, {}, {}, "20040105"},
        {{"--date", "2004-01-05x"}, Action::Refuse, {}, {}, "2004-01-05x"},
        {{"--folder", dir + "/missing"}, Action::Refuse, {}, {}, "missing"},
        {{"--folder", ""}, Action::Refuse, {}, {}, "tavo: "},
        // Control characters are quoted visibly, keeping the refusal on one line.
        {{"--folder", "two\nlines"}, Action::Refuse, {}, {}, "two\\nlines"},
        {{"a\tb\x01"}, Action::Refuse, {}, {}, "a\\tb\\x01"},
    };
    for (const auto& c : cases) {
        const StartOptions options =
            ParseStartOptions(c.named ? QStringList{"tavo"} + c.arguments : c.arguments);
        const std::string context = c.arguments.join(' ').toStdString();
        EXPECT_EQ(options.action, c.action) << context;
        EXPECT_EQ(options.date, c.date) << context;
        EXPECT_EQ(options.folder, c.folder) << context;
        EXPECT_TRUE(options.text.contains(QString::fromUtf8(c.says))) << context;
        if (c.action == Action::Refuse) {
            EXPECT_TRUE(options.text.startsWith("tavo: ")) << context;
            EXPECT_FALSE(options.text.contains('\n')) << context;
        }
    }
}

}  // namespace
