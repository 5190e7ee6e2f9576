// The question when one day has two versions: the day's file was changed on disk since the
// editor read it and the user is about to save or delete, or a sync tool left a conflict
// copy beside it. Both versions are shown side by side; the user keeps one of them, merges
// them by hand, or cancels, and then nothing happens. The dialog only asks: the caller
// saves, and sets the version not kept aside (core/conflicts.h), so neither is lost.
#pragma once

#include <QDateTime>
#include <QDialog>
#include <QString>
#include <chrono>
#include <functional>

#include "core/entry_store.h"

// A day's three texts as the editors hold them (line breaks LF).
struct DayTexts {
    QString title;
    QString publicText;
    QString privateText;
    bool operator==(const DayTexts&) const = default;
};

struct ConflictVersion {
    QString label;  // MineVersionLabel(), DiskVersionLabel() or the conflict copy's file name
    DayTexts texts;
    QDateTime modified;  // shown when valid: the time the other version was written
};

// "この画面の版": the texts in the editor.
QString MineVersionLabel();
// "ディスクの版": the day's file as it is on disk now.
QString DiskVersionLabel();

// A version read from a file (the day's file or a conflict copy), for the dialog.
ConflictVersion VersionFromEntry(const QString& label, const tavo::Entry& entry,
                                 std::chrono::system_clock::time_point modified);

// Both versions in one, for the user to finish in the editor: each memo that differs holds
// both texts between conflict marks,
//   "<<<<<<< <mine's label>\n<mine>\n=======\n<theirs>\n>>>>>>> <theirs' label>\n",
// a title that differs becomes "<mine> ／ <theirs>", and what is alike stays as it is.
DayTexts MergedByHand(const ConflictVersion& mine, const ConflictVersion& theirs);

class TConflictDlg : public QDialog {
    Q_OBJECT

public:
    enum class Situation { ChangedBeforeSave, ChangedBeforeDelete, ConflictCopy };
    enum class Choice { KeepMine, KeepTheirs, MergeByHand, Cancel };

    TConflictDlg(const ConflictVersion& mine, const ConflictVersion& theirs, Situation situation,
                 QWidget* parent = nullptr);

    // Cancel until a choice button is pressed; closing the dialog or Escape cancels.
    Choice choice() const { return choice_; }

    // Shows the dialog and waits for the answer, or lets the responder answer.
    static Choice ask(QWidget* parent, const ConflictVersion& mine, const ConflictVersion& theirs,
                      Situation situation = Situation::ChangedBeforeSave);

    struct Shown {
        Situation situation;
        ConflictVersion mine;
        ConflictVersion theirs;
    };
    using Responder = std::function<Choice(const Shown&)>;
    // While a responder is set, ask() shows no dialog: the responder answers (for tests).
    static void setResponder(Responder responder);

private:
    void choose(Choice choice);

    Choice choice_ = Choice::Cancel;
};
