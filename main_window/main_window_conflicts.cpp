// Two versions of one day: another writer changed the shown day's file while it was being
// edited, or a sync tool left a conflict copy beside an entry. The user chooses; the version
// not kept is set aside in "conflicts/", so that neither is ever lost.
#include <QScopedValueRollback>
#include <filesystem>

#include "common/ui_text.h"
#include "core/conflicts.h"
#include "core/date.h"
#include "core/text_file.h"
#include "main_window/conflict_dialog.h"
#include "main_window/sdimain.h"
#include "uikit/message_box.h"

namespace {

DayTexts ToDayTexts(const DayEditor::Texts& texts) {
    return {texts.title, texts.publicText, texts.privateText};
}

DayEditor::Texts FromDayTexts(const DayTexts& texts) {
    return {texts.title, texts.publicText, texts.privateText};
}

}  // namespace

DayEditor::Answer TSDIAppForm::askAboutOtherVersion(const DayEditor::Texts& mine,
                                                    const DayEditor::OtherVersion& theirs,
                                                    bool deleting) {
    const ConflictVersion mineVersion{MineVersionLabel(), ToDayTexts(mine), {}};
    ConflictVersion theirVersion{DiskVersionLabel(), ToDayTexts(theirs.texts), theirs.modified};
    if (!theirs.exists)
        theirVersion.label = QStringLiteral("ディスクの版（削除されています）");
    const auto choice = TConflictDlg::ask(this, mineVersion, theirVersion,
                                          deleting ? TConflictDlg::Situation::ChangedBeforeDelete
                                                   : TConflictDlg::Situation::ChangedBeforeSave);
    switch (choice) {
        case TConflictDlg::Choice::KeepMine:
            return {DayEditor::Choice::KeepMine, {}};
        case TConflictDlg::Choice::KeepTheirs:
            return {DayEditor::Choice::KeepTheirs, {}};
        case TConflictDlg::Choice::MergeByHand:
            return {DayEditor::Choice::Merge,
                    FromDayTexts(MergedByHand(mineVersion, theirVersion))};
        case TConflictDlg::Choice::Cancel:
            break;
    }
    return {DayEditor::Choice::Cancel, {}};
}

void TSDIAppForm::offerConflictCopies() {
    if (diary_.isReadOnly() || offeringConflictCopies_)
        return;
    const QScopedValueRollback<bool> offering(offeringConflictCopies_, true);
    std::string error;
    const std::vector<tavo::ConflictCopy> copies = tavo::FindConflictCopies(store(), &error);
    if (!error.empty()) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    for (const tavo::ConflictCopy& copy : copies) {
        const QString copyName = FromPath(copy.path.filename());
        if (conflictCopiesAsked_.contains(copyName))
            continue;  // kept for later: asked again at the next start
        conflictCopiesAsked_.insert(copyName);
        // The entry as it is now, with the editors' texts when it is the shown day.
        if (copy.entryFileName == shownFileName().toStdString() && !saveIfModified())
            continue;
        tavo::Entry entry, other;
        std::string copyBytes;
        if (store().ReadEntry(copy.entryFileName, &entry, &error, tavo::EntryParts::All) ==
                tavo::EntryStore::ReadStatus::Failed ||
            !tavo::ReadFileBytes(copy.path, &copyBytes, &error) ||
            !tavo::ParseEntryFile(copyBytes, &other, &error)) {
            MessageBox::error(this, QString::fromStdString(error));
            continue;
        }
        std::chrono::system_clock::time_point entryTime{};
        tavo::ReadModificationTime(store().EntryPath(copy.entryFileName), &entryTime, &error);
        const ConflictVersion mine =
            VersionFromEntry(QString::fromStdString(copy.entryFileName), entry, entryTime);
        const ConflictVersion theirs = VersionFromEntry(copyName, other, copy.modified);
        const auto choice =
            TConflictDlg::ask(this, mine, theirs, TConflictDlg::Situation::ConflictCopy);
        if (choice == TConflictDlg::Choice::Cancel)
            continue;
        const std::optional<tavo::Date> day =
            tavo::ParseEntryName(tavo::EntryName(copy.entryFileName), &error);
        bool done = true;
        if (choice == TConflictDlg::Choice::KeepTheirs) {
            // The entry's own version goes aside, the copy's takes its place.
            std::string entryBytes;
            std::filesystem::path keptAt;
            const bool entryExists = std::filesystem::exists(store().EntryPath(copy.entryFileName));
            done =
                (!entryExists ||
                 (tavo::ReadFileBytes(store().EntryPath(copy.entryFileName), &entryBytes, &error) &&
                  tavo::KeepAsideCopy(paths().programFolder, copy.entryFileName, entryBytes,
                                      tavo::FormatStamp(tavo::Now()), &keptAt, &error))) &&
                store().SaveEntry(copy.entryFileName, other, &error);
        }
        std::filesystem::path movedTo;
        if (!done || !tavo::SetConflictCopyAside(paths().programFolder, copy, &movedTo, &error)) {
            MessageBox::error(this, QString::fromStdString(error));
            continue;
        }
        if (choice == TConflictDlg::Choice::MergeByHand && day && goToDate(ToQDate(*day))) {
            showMerged(FromDayTexts(MergedByHand(mine, theirs)));
        } else if (copy.entryFileName == shownFileName().toStdString()) {
            reloadShownDay();
        }
    }
}
