// Keeps what is typed safe between saves: about two seconds after the last keystroke, and
// at least every four seconds while typing goes on, the edited day's texts are written
// to its recovery file. Saving or leaving the day unchanged removes the file again.
// When the program folder cannot take the file (the folder is gone or cannot be written),
// the texts go to the elsewhere folder in the per-user data folder instead.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "core/entry_store.h"
#include "core/recovery_cadence.h"

class RecoveryWriter : public QObject {
    Q_OBJECT

public:
    // The editors' texts as a save would store them; nothing when they are unchanged.
    using EditedTexts = std::function<std::optional<tavo::Entry>()>;
    // A whole text for the error box, each kind told once per run: the texts went to the
    // elsewhere folder (named in the text), or could be written nowhere; editing goes on.
    using Report = std::function<void(const QString& text)>;

    RecoveryWriter(std::filesystem::path programFolder, EditedTexts texts, Report report,
                   QObject* parent = nullptr);

    // The root of the elsewhere folders (FallbackRecoveryRoot()); without one, a failed
    // write is only reported.
    void setFallbackRoot(std::filesystem::path root);
    void setDelays(int idleMs, int longestMs);
    // The user changed the texts of the day `fileName` ("20040105.txt").
    void edited(const QString& fileName);
    // Writes what is waiting now: before a save, so that a crash between the save and the
    // removal of the recovery file leaves a file equal to the entry, never an older one.
    // A failure is not reported here (the save that follows says what went wrong), but where
    // the texts went when they went elsewhere is.
    void flush();
    // The day was saved, or left without changes: its recovery files go, when this run
    // wrote them (a file from an earlier run waits for the user's choice).
    void dayDone(const QString& fileName);

    // The day's recovery file now holds texts the user set aside for later (another writer's
    // version was kept instead): it stays until the user decides, like one of an earlier run.
    void keepForLater(const QString& fileName);

    bool pending() const { return !pendingFile_.isEmpty(); }
    bool wroteThisRun(const QString& fileName) const { return written_.count(fileName) > 0; }
    // The file holding the latest texts of the day this run wrote (after flush(), the texts
    // as they are now); nothing when none was written.
    std::optional<std::filesystem::path> keptAt(const QString& fileName) const;

private:
    void schedule();
    void write(bool reportFailure = true);
    // Remembers `file` as the day's latest and removes the older files written for the day.
    void keep(const QString& fileName, const std::filesystem::path& file);
    void removeWritten(const QString& fileName);
    void reportOnce(const QString& text, bool* reported);

    std::filesystem::path programFolder_;
    std::filesystem::path fallbackRoot_;
    EditedTexts texts_;
    Report report_;
    tavo::RecoveryCadence cadence_;
    QTimer timer_;
    QString pendingFile_;
    std::map<QString, std::vector<std::filesystem::path>> written_;  // the latest last
    bool failureReported_ = false;
    bool elsewhereReported_ = false;
};
