// Keeps what is typed safe between saves: about two seconds after the last keystroke, and
// at least every thirty seconds while typing goes on, the edited day's texts are written
// to its recovery file. Saving or leaving the day unchanged removes the file again.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>

#include "core/entry_store.h"

class RecoveryWriter : public QObject {
    Q_OBJECT

public:
    // The editors' texts as a save would store them; nothing when they are unchanged.
    using EditedTexts = std::function<std::optional<tavo::Entry>()>;
    // Told once per run when a recovery file cannot be written; editing goes on.
    using Report = std::function<void(const QString& error)>;

    RecoveryWriter(std::filesystem::path programFolder, EditedTexts texts, Report report,
                   QObject* parent = nullptr);

    void setDelays(int idleMs, int longestMs);
    // The user changed the texts of the day `fileName` ("20040105.txt").
    void edited(const QString& fileName);
    // Writes what is waiting now: before a save, so that a crash between the save and the
    // removal of the recovery file leaves a file equal to the entry, never an older one.
    // A failure is not reported here: the save that follows says what went wrong.
    void flush();
    // The day was saved, or left without changes: its recovery file goes, when this run
    // wrote it (a file from an earlier run waits for the user's choice).
    void dayDone(const QString& fileName);

    // The day's recovery file now holds texts the user set aside for later (another writer's
    // version was kept instead): it stays until the user decides, like one of an earlier run.
    void keepForLater(const QString& fileName);

    bool pending() const { return !pendingFile_.isEmpty(); }
    bool wroteThisRun(const QString& fileName) const { return written_.count(fileName) > 0; }

private:
    void write(bool reportFailure = true);
    void removeWritten(const QString& fileName);
    void reportOnce(const std::string& error);

    std::filesystem::path programFolder_;
    EditedTexts texts_;
    Report report_;
    QTimer idle_;
    QTimer longest_;
    QString pendingFile_;
    std::set<QString> written_;
    bool reported_ = false;
};
