#include "main_window/day_editor.h"

#include <filesystem>
#include <system_error>

#include "common/ui_text.h"
#include "core/date.h"
#include "main_window/recovery_writer.h"
#include "uikit/message_box.h"

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
    const auto status = store_.ReadEntry(file, &entry, &error);
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

bool DayEditor::save() {
    // Written first, so that a crash between the save and the removal of the recovery file
    // leaves one equal to the entry, never an older text.
    recovery_.flush();
    bool usedCharacterReferences = false;
    const tavo::Entry texts = entry(&usedCharacterReferences);
    std::string error;
    if (!store_.SaveEntry(fileName().toStdString(), texts, &error)) {
        MessageBox::error(messageParent_, QString::fromStdString(error));
        return false;
    }
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
    std::string error;
    if (!store_.DeleteEntry(file, &error)) {
        MessageBox::error(messageParent_, QString::fromStdString(error));
        return;
    }
    recovery_.dayDone(fileName());  // the user discarded the edits with the entry
    show(date_);
}
