// The one record of the day the main window shows (its date, its file, whether it was
// edited or could not be read) and the cycle around it: leaving a day saves it when it was
// edited, then the next day is read. Every save, the delete command and the recovery file
// work on this record, so they can never disagree about which day the editors hold.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

#include "core/entry_store.h"
#include "core/file_stamp.h"

class QWidget;
class RecoveryWriter;

class DayEditor {
public:
    struct Texts {
        QString title;
        QString publicText;
        QString privateText;
    };
    enum class Shown { Entry, NoEntry, Unreadable };

    // The editors as the day editor sees them: the main window's fields in the program, a
    // plain object in tests.
    class Editors {
    public:
        virtual ~Editors() = default;
        virtual Texts texts() const = 0;
        virtual bool isModified() const = 0;
        // Shows `date`: the texts of its entry, or empty; empty and read-only while its file
        // cannot be read. The editors count as unmodified afterwards.
        virtual void showDay(const QDate& date, Shown shown, const Texts& texts) = 0;
        // Puts `texts` in the editors as if the user had typed them (they count as modified).
        virtual void showMerged(const Texts& texts) = 0;
    };

    // Another writer's version of the shown day, found on disk before a save or a delete.
    struct OtherVersion {
        bool exists = false;  // false: the other writer deleted the day
        Texts texts;
        QDateTime modified;
    };
    enum class Choice { KeepMine, KeepTheirs, Merge, Cancel };
    struct Answer {
        Choice choice = Choice::Cancel;
        Texts merged;  // with Merge: both versions, marked, for the user to merge by hand
    };
    // Asks the user what to do about another writer's version; `deleting` when the user
    // was about to delete the day.
    using AskConflict =
        std::function<Answer(const Texts& mine, const OtherVersion& theirs, bool deleting)>;

    // Errors go to message boxes over `messageParent`; `recovery` hears of every save and
    // every day left.
    DayEditor(const tavo::EntryStore& store, Editors& editors, RecoveryWriter& recovery,
              QWidget* messageParent);

    void setAskConflict(AskConflict ask) { askConflict_ = std::move(ask); }
    // A read-only diary (opened while another computer holds it): no day is ever saved.
    void setDiaryReadOnly(bool readOnly) { diaryReadOnly_ = readOnly; }

    const QDate& date() const { return date_; }
    QString fileName() const;  // "20040105.txt"
    // The day's file could not be read; such a day is never saved, so it stays as it is.
    bool isReadOnly() const { return readOnly_ || diaryReadOnly_; }
    bool isModified() const { return !isReadOnly() && editors_.isModified(); }
    // The texts as a save stores them.
    tavo::Entry entry(bool* usedCharacterReferences = nullptr) const;

    // Reads and shows `date` without saving the day shown before: at start, and after the
    // diary's files were replaced.
    void show(const QDate& date);
    // Saves the shown day if it was edited, then shows `date`. False when the save failed:
    // the editors still hold the old day, which stays the shown one.
    bool changeDay(const QDate& date);
    bool saveIfModified();
    // Asks, then deletes the shown day's entry (with its edits) and shows it empty.
    void deleteShownDay();
    // Another writer may have changed the day's file: an unedited day is shown again from
    // it; an edited one keeps its texts, and its next save asks first. True when the
    // file differs from what the editors were loaded from or last saved.
    bool reloadIfChangedOnDisk();

    // Called after a save had to keep characters as numeric character references.
    std::function<void()> savedCharacterReferences;

private:
    bool save();
    // The day's file as it is now, when another writer changed it since it was read or
    // saved here; nothing when it is as it was.
    std::optional<tavo::FileStamp> changedOnDisk() const;
    // Asks what to do about the other version and carries out what can be done before the
    // save or delete; true when that may go ahead (the user kept the editors' version).
    enum class Resolved { GoAhead, Done, Stay };
    Resolved resolveConflict(const tavo::FileStamp& current, bool deleting);

    const tavo::EntryStore& store_;
    Editors& editors_;
    RecoveryWriter& recovery_;
    QWidget* messageParent_;
    AskConflict askConflict_;
    QDate date_;
    bool readOnly_ = false;
    bool diaryReadOnly_ = false;
    tavo::FileStamp readStamp_;  // the day's file as the editors last read or saved it
};
