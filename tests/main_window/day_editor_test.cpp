// The shown day's record without any window: which file a save goes to, when nothing is
// written, and that a failed save keeps the day.
#include "main_window/day_editor.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/entry_store.h"
#include "core/recovery.h"
#include "core/temp_folder.h"
#include "main_window/recovery_writer.h"
#include "uikit/message_box.h"

namespace {

struct FakeEditors : DayEditor::Editors {
    DayEditor::Texts shownTexts;
    DayEditor::Shown shown = DayEditor::Shown::NoEntry;
    bool modified = false;

    DayEditor::Texts texts() const override { return shownTexts; }
    bool isModified() const override { return modified; }
    void showDay(const QDate&, DayEditor::Shown how, const DayEditor::Texts& texts) override {
        shown = how;
        shownTexts = texts;
        modified = false;
    }
    void showMerged(const DayEditor::Texts& texts) override {
        shownTexts = texts;
        modified = true;
    }
};

struct Fixture {
    TempFolder folder;
    tavo::EntryStore store{folder.path()};
    RecoveryWriter recovery{folder.path(), [] { return std::nullopt; }, [](const QString&) {}};
    FakeEditors editors;
    DayEditor day{store, editors, recovery, nullptr};
    QList<MessageBox::Shown> boxes;

    explicit Fixture(MessageBox::Button answer) {
        std::filesystem::create_directory(store.DataFolder());
        MessageBox::setResponder([this, answer](const MessageBox::Shown& box) {
            boxes << box;
            return answer;
        });
    }
    ~Fixture() { MessageBox::setResponder({}); }
    std::filesystem::path file(const char* name) const { return store.EntryPath(name); }
};

const QDate kDay(2024, 1, 2);
const QDate kNextDay(2024, 1, 3);

TEST(DayEditorTest, LeavingADaySavesItOnlyWhenEditedAndReadable) {
    enum class Before { Missing, Unreadable, SaveFails };
    const struct {
        const char* name;
        Before before;
        bool edited;
        bool left;            // changeDay's answer; false keeps the day
        bool fileIsTheEntry;  // the day's file holds the editors' texts afterwards
    } cases[] = {
        {"unedited", Before::Missing, false, true, false},
        {"edited", Before::Missing, true, true, true},
        {"unreadable, typed into", Before::Unreadable, true, true, false},
        {"save fails", Before::SaveFails, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(MessageBox::Button::Ok);
        const auto file = f.file("20240102.txt");
        if (c.before == Before::Unreadable)
            WriteAll(file, "one line only");
        f.day.show(kDay);
        EXPECT_EQ(f.day.isReadOnly(), c.before == Before::Unreadable);
        if (c.before == Before::SaveFails)
            std::filesystem::create_directory(file);  // no file can be renamed onto it
        f.editors.shownTexts = {QStringLiteral("題"), QStringLiteral("本文"),
                                QStringLiteral("予定")};
        f.editors.modified = c.edited;

        EXPECT_EQ(f.day.changeDay(kNextDay), c.left);
        EXPECT_EQ(f.day.date(), c.left ? kNextDay : kDay);
        EXPECT_EQ(f.day.fileName(), c.left ? "20240103.txt" : "20240102.txt");
        tavo::Entry saved;
        std::string error;
        const bool found = f.store.ReadEntry("20240102.txt", &saved, &error) ==
                           tavo::EntryStore::ReadStatus::Found;
        EXPECT_EQ(found, c.fileIsTheEntry);
        if (c.fileIsTheEntry) {
            EXPECT_EQ(saved, (tavo::Entry{"\x91\xe8", "\x96\x7b\x95\xb6", "\x97\x5c\x92\xe8"}));
        }
        if (c.before == Before::Unreadable) {
            EXPECT_EQ(ReadAll(file), "one line only");
        }
        // Errors reach the user: the unreadable file when shown, the failed save.
        EXPECT_EQ(f.boxes.size(), c.before == Before::Missing ? 0 : 1);
    }
}

TEST(DayEditorTest, DeletingTheShownDayAsksFirst) {
    for (const auto answer : {MessageBox::Button::Ok, MessageBox::Button::Cancel}) {
        Fixture f(answer);
        f.day.show(kDay);
        f.editors.shownTexts.title = QStringLiteral("x");
        f.editors.modified = true;
        ASSERT_TRUE(f.day.saveIfModified());
        f.day.show(kDay);
        ASSERT_EQ(f.editors.shown, DayEditor::Shown::Entry);

        f.day.deleteShownDay();
        const bool deleted = answer == MessageBox::Button::Ok;
        EXPECT_EQ(std::filesystem::exists(f.file("20240102.txt")), !deleted);
        EXPECT_EQ(f.editors.shown, deleted ? DayEditor::Shown::NoEntry : DayEditor::Shown::Entry);
        EXPECT_EQ(f.day.date(), kDay);
    }
}

// Another writer (a sync tool renaming its temporary file into place, a second computer
// deleting the day) changed the shown day's file: an unedited day is shown again from it, an
// edited one asks before its save, and every answer keeps both versions somewhere.
TEST(DayEditorTest, AnotherWritersVersionIsNeverOverwrittenBlindly) {
    using Choice = DayEditor::Choice;
    enum class Other { Replaced, Deleted };
    const struct {
        const char* name;
        Other other;
        bool edited;
        Choice answer;
        bool left;              // changeDay's answer
        const char* fileTitle;  // the day's file afterwards; nullptr: no file
        bool theirsSetAside;    // the other version is in conflicts/
        bool mineInRecovery;    // the editors' texts are in the recovery file
    } cases[] = {
        {"not typed: shown again", Other::Replaced, false, Choice::Cancel, true, "theirs", false,
         false},
        {"keep mine", Other::Replaced, true, Choice::KeepMine, true, "mine", true, false},
        {"keep theirs", Other::Replaced, true, Choice::KeepTheirs, true, "theirs", false, true},
        {"merge by hand", Other::Replaced, true, Choice::Merge, false, "theirs", false, false},
        {"cancel", Other::Replaced, true, Choice::Cancel, false, "theirs", false, false},
        {"deleted, keep mine", Other::Deleted, true, Choice::KeepMine, true, "mine", false, false},
        {"deleted, keep theirs", Other::Deleted, true, Choice::KeepTheirs, true, nullptr, false,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(MessageBox::Button::Ok);
        std::string error;
        ASSERT_TRUE(f.store.SaveEntry("20240102.txt", {"old", "o", ""}, &error));
        f.day.show(kDay);
        int asked = 0;
        f.day.setAskConflict([&](const DayEditor::Texts& mine, const DayEditor::OtherVersion& theirs,
                                 bool deleting) {
            ++asked;
            EXPECT_EQ(mine.title, QStringLiteral("mine"));
            EXPECT_EQ(theirs.exists, c.other == Other::Replaced);
            EXPECT_EQ(theirs.texts.title, c.other == Other::Replaced ? QStringLiteral("theirs")
                                                                     : QString());
            EXPECT_FALSE(deleting);
            return DayEditor::Answer{c.answer, {QStringLiteral("merged"), {}, {}}};
        });
        if (c.edited) {
            f.editors.shownTexts = {QStringLiteral("mine"), QStringLiteral("my text"), {}};
            f.editors.modified = true;
        }
        if (c.other == Other::Replaced) {
            WriteAll(f.file("20240102.txt.sync-tmp"),
                     tavo::EntryFileBytes({"theirs", "their text", ""}));
            std::filesystem::rename(f.file("20240102.txt.sync-tmp"), f.file("20240102.txt"));
        } else {
            std::filesystem::remove(f.file("20240102.txt"));
        }
        EXPECT_TRUE(f.day.reloadIfChangedOnDisk());
        EXPECT_EQ(f.day.changeDay(kNextDay), c.left);
        EXPECT_EQ(asked, c.edited ? 1 : 0);

        tavo::Entry saved;
        const auto status = f.store.ReadEntry("20240102.txt", &saved, &error);
        EXPECT_EQ(status == tavo::EntryStore::ReadStatus::Found, c.fileTitle != nullptr);
        if (c.fileTitle) {
            EXPECT_EQ(saved.title, c.fileTitle);
        }
        if (c.answer == Choice::Merge) {
            EXPECT_EQ(f.editors.shownTexts.title, QStringLiteral("merged"));
            EXPECT_TRUE(f.editors.modified);
        }
        size_t setAside = 0;
        std::error_code ec;
        for (const auto& copy :
             std::filesystem::directory_iterator(f.folder.path() / "conflicts", ec)) {
            ++setAside;
            EXPECT_NE(ReadAll(copy.path()).find(tavo::EntryFileBytes({"theirs", "their text", ""})),
                      std::string::npos);
        }
        EXPECT_EQ(setAside, c.theirsSetAside ? 1u : 0u);
        const auto recovery = tavo::RecoveryPath(f.folder.path(), "20240102.txt");
        EXPECT_EQ(std::filesystem::exists(recovery), c.mineInRecovery);
        if (c.mineInRecovery) {
            tavo::Entry kept;
            ASSERT_TRUE(tavo::ParseEntryFile(ReadAll(recovery), &kept, &error));
            EXPECT_EQ(kept.title, "mine");
        }
    }
}

}  // namespace
