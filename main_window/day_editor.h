// The one record of the day the main window shows (its date, its file, whether it was
// edited or could not be read) and the cycle around it: leaving a day saves it when it was
// edited, then the next day is read. Every save, the delete command and the recovery file
// work on this record, so they can never disagree about which day the editors hold.
#pragma once

#include <QDate>
#include <QString>
#include <functional>

#include "core/entry_store.h"

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
    };

    // Errors go to message boxes over `messageParent`; `recovery` hears of every save and
    // every day left.
    DayEditor(const tavo::EntryStore& store, Editors& editors, RecoveryWriter& recovery,
              QWidget* messageParent);

    const QDate& date() const { return date_; }
    QString fileName() const;  // "20040105.txt"
    // The day's file could not be read; such a day is never saved, so it stays as it is.
    bool isReadOnly() const { return readOnly_; }
    bool isModified() const { return !readOnly_ && editors_.isModified(); }
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

    // Called after a save had to keep characters as numeric character references.
    std::function<void()> savedCharacterReferences;

private:
    bool save();

    const tavo::EntryStore& store_;
    Editors& editors_;
    RecoveryWriter& recovery_;
    QWidget* messageParent_;
    QDate date_;
    bool readOnly_ = false;
};
