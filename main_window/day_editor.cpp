#include "main_window/day_editor.h"

#include <filesystem>
#include <system_error>

#include "common/ui_text.h"
#include "core/conflicts.h"
#include "core/date.h"
#include "core/recovery.h"
#include "core/text_file.h"
#include "main_window/recovery_writer.h"
#include "uikit/message_box.h"

namespace {

// Names the copies set aside.
std::string NowStamp() {
    return tavo::FormatStamp(tavo::Now());
}

}  // namespace

DayEditor::DayEditor(const tavo::EntryStore& store, Editors& editors, RecoveryWriter& recovery,
                     QWidget* messageParent)
    : store_(store), editors_(editors), recovery_(recovery), messageParent_(messageParent) {}

QString DayEditor::fileName() const {
    return QString::fromStdString(tavo::EntryFileName(ToDate(date_)));
}

tavo::Entry DayEditor::entry(bool* usedCharacterReferences) const {
    const Texts texts = editors_.texts();
    const Cp932Text title = ToCp932(texts.title);
    const Cp932Text publicText = MemoToCp932(texts.publicText);
    const Cp932Text privateText = MemoToCp932(texts.privateText);
    if (usedCharacterReferences)
        *usedCharacterReferences = title.usedCharacterReferences ||
                                   publicText.usedCharacterReferences ||
                                   privateText.usedCharacterReferences;
    return {title.bytes, publicText.bytes, privateText.bytes};
}

void DayEditor::show(const QDate& date) {
    date_ = date;
    const std::string file = fileName().toStdString();
    tavo::Entry entry;
    std::string error;
    // The stamp describes exactly the bytes the editors are loaded from.
    const auto status =
        store_.ReadEntry(file, &entry, &error, tavo::EntryParts::Checked, &readStamp_);
    Texts texts;
    bool invalidBytes = false;
    if (status == tavo::EntryStore::ReadStatus::Found) {
        bool invalid[3] = {};
        texts = {FromCp932(entry.title, &invalid[0]), MemoFromCp932(entry.publicText, &invalid[1]),
                 MemoFromCp932(entry.privateText, &invalid[2])};
        invalidBytes = invalid[0] || invalid[1] || invalid[2];
        if (invalidBytes)
            error = QStringLiteral("日記ファイルに CP932 として読めない文字があります: \"%1\"")
                        .arg(FromPath(store_.EntryPath(file)))
                        .toStdString();
    }
    readOnly_ = status == tavo::EntryStore::ReadStatus::Failed || invalidBytes;
    if (readOnly_) {
        // Shown empty and read-only, so that nothing typed here can replace an entry the
        // program could not read.
        editors_.showDay(date_, Shown::Unreadable, {});
        MessageBox::error(messageParent_, QString::fromStdString(error));
        return;
    }
    editors_.showDay(date_,
                     status == tavo::EntryStore::ReadStatus::Found ? Shown::Entry : Shown::NoEntry,
                     texts);
}

std::optional<tavo::FileStamp> DayEditor::changedOnDisk() const {
    std::error_code ec;
    // A data folder that is gone is no other writer's version: the save says what failed.
    if (!std::filesystem::is_directory(store_.DataFolder(), ec))
        return std::nullopt;
    tavo::FileStamp now;
    std::string error;
    if (!tavo::StampFile(store_.EntryPath(fileName().toStdString()), &now, &error) ||
        now.SameContent(readStamp_))
        return std::nullopt;
    return now;
}

DayEditor::Resolved DayEditor::resolveConflict(const tavo::FileStamp& current, bool deleting) {
    const std::string file = fileName().toStdString();
    const std::filesystem::path path = store_.EntryPath(file);
    OtherVersion theirs;
    theirs.exists = current.exists;
    if (current.exists) {
        tavo::Entry entry;
        std::string error;
        if (store_.ReadEntry(file, &entry, &error, tavo::EntryParts::All) ==
            tavo::EntryStore::ReadStatus::Found)
            theirs.texts = {FromCp932(entry.title), MemoFromCp932(entry.publicText),
                            MemoFromCp932(entry.privateText)};
        else
            theirs.texts.publicText = QString::fromStdString(error);
        theirs.modified = QDateTime::fromMSecsSinceEpoch(current.modifiedNs / 1000000);
    }
    if (!askConflict_)
        return Resolved::Stay;
    const Answer answer = askConflict_(editors_.texts(), theirs, deleting);
    std::string error;
    switch (answer.choice) {
        case Choice::KeepMine: {
            // The other version is set aside whole, with its bytes as they are.
            std::string bytes;
            std::filesystem::path keptAt;
            if (current.exists && (!tavo::ReadFileBytes(path, &bytes, &error) ||
                                   !tavo::KeepAsideCopy(store_.ProgramFolder(), file, bytes,
                                                        NowStamp(), &keptAt, &error))) {
                MessageBox::error(messageParent_, QString::fromStdString(error));
                return Resolved::Stay;
            }
            readStamp_ = current;
            return Resolved::GoAhead;
        }
        case Choice::KeepTheirs:
            // What was typed here stays as the day's recovery file, offered when the day
            // is opened again and at the next start.
            if (editors_.isModified()) {
                if (!tavo::WriteRecovery(store_.ProgramFolder(), file, entry(), &error)) {
                    MessageBox::error(messageParent_, QString::fromStdString(error));
                    return Resolved::Stay;
                }
                recovery_.keepForLater(fileName());
                MessageBox::message(
                    messageParent_,
                    QStringLiteral("この画面で入力した文章は復元用ファイルに残しました:\n%1")
                        .arg(FromPath(tavo::RecoveryPath(store_.ProgramFolder(), file))));
            }
            show(date_);
            return Resolved::Done;
        case Choice::Merge:
            editors_.showMerged(answer.merged);
            readStamp_ = current;  // the next save writes the merged texts over it
            return Resolved::Stay;
        case Choice::Cancel:
            break;
    }
    return Resolved::Stay;
}

bool DayEditor::save() {
    // Written first, so that a crash between the save and the removal of the recovery file
    // leaves one equal to the entry, never an older text.
    recovery_.flush();
    if (const auto current = changedOnDisk()) {
        switch (resolveConflict(*current, false)) {
            case Resolved::GoAhead:
                break;
            case Resolved::Done:
                return true;
            case Resolved::Stay:
                return false;
        }
    }
    bool usedCharacterReferences = false;
    const tavo::Entry texts = entry(&usedCharacterReferences);
    std::string error;
    if (!store_.SaveEntry(fileName().toStdString(), texts, &error)) {
        MessageBox::error(messageParent_, QString::fromStdString(error));
        return false;
    }
    // The file now holds what was saved (or is gone, for an emptied day).
    readStamp_ =
        texts.IsEmpty() ? tavo::FileStamp{} : tavo::StampOfContent(tavo::EntryFileBytes(texts));
    recovery_.dayDone(fileName());
    if (usedCharacterReferences && savedCharacterReferences)
        savedCharacterReferences();
    return true;
}

bool DayEditor::saveIfModified() {
    return !isModified() || save();
}

bool DayEditor::changeDay(const QDate& date) {
    if (!isModified())
        recovery_.dayDone(fileName());  // undone back to the saved texts
    else if (!save())
        return false;
    show(date);
    return true;
}

void DayEditor::deleteShownDay() {
    const std::string file = fileName().toStdString();
    const QString dateText = QString::fromStdString(tavo::FormatSlashed(ToDate(date_)));
    std::error_code ec;
    if (!std::filesystem::exists(store_.EntryPath(file), ec)) {
        MessageBox::warningYes(messageParent_, dateText + QStringLiteral("の日記はありません"));
        return;
    }
    if (!MessageBox::warningOkCancel(messageParent_,
                                     dateText + QStringLiteral("の日記を削除しますか？")))
        return;
    if (const auto current = changedOnDisk()) {
        if (resolveConflict(*current, true) != Resolved::GoAhead)
            return;
    }
    std::string error;
    if (!store_.DeleteEntry(file, &error)) {
        MessageBox::error(messageParent_, QString::fromStdString(error));
        return;
    }
    recovery_.dayDone(fileName());  // the user discarded the edits with the entry
    show(date_);
}

bool DayEditor::reloadIfChangedOnDisk() {
    if (!changedOnDisk())
        return false;
    if (!isModified())
        show(date_);
    return true;
}
