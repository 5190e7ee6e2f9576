#include "main_window/recovery_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/program_location.h"
#include "core/recovery.h"
#include "core/temp_folder.h"

namespace {

// A program folder that goes away while the user types (a stick pulled out): the texts go to
// the elsewhere folder in the per-user data folder, the user is told once where, and when the
// folder is back the save removes every file written for the day.
TEST(RecoveryWriterTest, TextsGoElsewhereWhileTheProgramFolderIsGone) {
    TempFolder folder, dataHome;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome.path().string()));
    const std::filesystem::path programFolder = folder.path() / "stick";
    std::filesystem::create_directory(programFolder);
    tavo::Entry texts{"title", "", ""};
    std::vector<QString> reports;
    RecoveryWriter writer(
        programFolder, [&] { return std::optional(texts); },
        [&](const QString& text) { reports.push_back(text); });
    writer.setFallbackRoot(FallbackRecoveryRoot());
    const QString day = QStringLiteral("20040105.txt");
    const auto inProgramFolder = tavo::RecoveryPath(programFolder, "20040105.txt");
    const auto elsewhere = tavo::FallbackRecoveryPath(
        dataHome.path() / "tavo" / "recovery-elsewhere", programFolder, "20040105.txt");

    writer.edited(day);
    writer.flush();
    EXPECT_EQ(writer.keptAt(day), inProgramFolder);
    std::filesystem::remove_all(programFolder);
    for (const char* title : {"typed while gone", "typed on"}) {
        texts.title = title;
        writer.edited(day);
        writer.flush();
        EXPECT_EQ(ReadAll(elsewhere), tavo::EntryFileBytes(texts)) << title;
    }
    EXPECT_EQ(writer.keptAt(day), elsewhere);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].contains(QString::fromStdString(elsewhere.parent_path().string())))
        << reports[0].toStdString();

    // The stick is back with the file written before it went; the day is saved.
    std::filesystem::create_directories(inProgramFolder.parent_path());
    WriteAll(inProgramFolder, "title\r\n");
    writer.dayDone(day);
    EXPECT_FALSE(std::filesystem::exists(inProgramFolder));
    EXPECT_FALSE(std::filesystem::exists(elsewhere));
    EXPECT_EQ(writer.keptAt(day), std::nullopt);
}

}  // namespace
