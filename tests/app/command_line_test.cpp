#include "app/command_line.h"

#include <gtest/gtest.h>

#include "core/temp_folder.h"

namespace {

using Action = StartOptions::Action;

TEST(CommandLineTest, ReadsOptionsAndRefusesMistakesInOneLine) {
    TempFolder temp;
    const QString dir = QString::fromStdString(temp.path().string());
    const struct {
        QStringList arguments;
        Action action;
        std::optional<QDate> date;
        bool folder;
        const char* says;  // in the text
    } cases[] = {
        {{}, Action::Start, std::nullopt, false, ""},
        {{"--date", "2004-01-05"}, Action::Start, QDate(2004, 1, 5), false, ""},
        {{"--date=2004-01-05", "--folder", dir}, Action::Start, QDate(2004, 1, 5), true, ""},
        // Qt's own options are left to the application object.
        {{"-platform", "offscreen", "-style=fusion", "-reverse"}, Action::Start, {}, false, ""},
        {{"--help"}, Action::ShowHelp, {}, false, "--folder DIR"},
        {{"-h", "--date", "bad"}, Action::ShowHelp, {}, false, "--date YYYY-MM-DD"},
        {{"--version"}, Action::ShowVersion, {}, false, "Tavo 2.422"},
        {{"--bogus"}, Action::Refuse, {}, false, "bogus"},
        {{"diary"}, Action::Refuse, {}, false, "diary"},
        {{"--date"}, Action::Refuse, {}, false, "--date"},
        {{"--date", "2004-02-30"}, Action::Refuse, {}, false, "2004-02-30"},
        {{"--date", "1600-12-31"}, Action::Refuse, {}, false, "1601-01-01"},
        {{"--date", "2024-02-29"}, Action::Start, QDate(2024, 2, 29), false, ""},
        {{"--date", "2004/01/05"}, Action::Refuse, {}, false, "2004/01/05"},
        {{"--date", "20040105"}, Action::Refuse, {}, false, "20040105"},
        {{"--date", "2004-01-05x"}, Action::Refuse, {}, false, "2004-01-05x"},
        {{"--folder", dir + "/missing"}, Action::Refuse, {}, false, "missing"},
        {{"--folder", ""}, Action::Refuse, {}, false, "tavo: "},
    };
    for (const auto& c : cases) {
        const StartOptions options = ParseStartOptions(QStringList{"tavo"} + c.arguments);
        const std::string context = c.arguments.join(' ').toStdString();
        EXPECT_EQ(options.action, c.action) << context;
        EXPECT_EQ(options.date, c.date) << context;
        EXPECT_EQ(options.folder.has_value(), c.folder) << context;
        EXPECT_TRUE(options.text.contains(QString::fromUtf8(c.says))) << context;
        if (c.action == Action::Refuse) {
            EXPECT_TRUE(options.text.startsWith("tavo: ")) << context;
            EXPECT_FALSE(options.text.contains('\n')) << context;
        }
    }
    EXPECT_EQ(ParseStartOptions({"tavo", "--folder", dir + "/."}).folder, temp.path());
}

}  // namespace
