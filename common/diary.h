// The diary one run of the program works on, shared by all its windows: where its files
// are and the store of its entries, the preferences read from "User.ini", where its
// backups go, whether this run may write to it, and what other writers (a sync tool, a
// second computer, a text editor) change in it while the program runs.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "core/entry_store.h"
#include "core/program_folder.h"
#include "core/user_settings.h"

class QFileSystemWatcher;

class Diary : public QObject {
    Q_OBJECT

public:
    explicit Diary(const std::filesystem::path& programFolder, QObject* parent = nullptr);
    ~Diary() override;

    const tavo::ProgramPaths& paths() const { return paths_; }
    const tavo::EntryStore& store() const { return store_; }

    // A diary opened read-only (its lock is held on another computer): nothing is written.
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

    // The preferences as "User.ini" holds them: read at start, replaced when the
    // preferences dialog writes the file.
    const tavo::UserSettings& preferences() const { return preferences_; }
    // Reads "User.ini" at start (a missing file keeps the defaults); lines that cannot be
    // read are named in `problems`, a file that cannot be read at all in `error` (false).
    bool readPreferences(std::string* problems, std::string* error);
    // The preferences dialog wrote new ones: the backup choices count at once, the look
    // of the windows from the next start.
    void setPreferences(const tavo::UserSettings& preferences);
    // The point size of the editing and list fonts, as read at start.
    int editorFontSize() const { return editorFontSize_; }
    // "backup" in the program folder unless the preferences name another folder; a
    // relative name is taken in the program folder, not wherever the program started.
    std::filesystem::path backupFolder() const;
    bool backupsOn() const { return preferences_.backupsOn; }

    // Looks at the data folder now: when the watcher may have missed a change (on focus-in,
    // before a save). Also run shortly after every change the watcher reports.
    void checkForChanges();
    // How soon after a reported change the folder is looked at (tests wait less).
    void setSettleDelay(int ms) { settle_.setInterval(ms); }

signals:
    void preferencesChanged();
    // Entry files ("20040105.txt") that appeared, went or were rewritten since the last
    // look, by this program or another writer; the index has been brought in step.
    void entriesChanged(const QStringList& fileNames);
    // A sync tool left a conflict copy beside an entry that was not there at the last look.
    void conflictCopiesAppeared();

private:
    struct FileState {
        std::uintmax_t size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const FileState&) const = default;
    };
    struct FolderState {
        std::map<std::string, FileState> entries;
        std::set<std::string> conflictCopies;
    };

    // Nothing when the folder cannot be read (a stick pulled): then nothing is compared.
    std::optional<FolderState> readDataFolder() const;
    void keepIndexInStep(const FolderState& state);
    void watch();

    tavo::ProgramPaths paths_;
    tavo::EntryStore store_;
    tavo::UserSettings preferences_;
    int editorFontSize_ = 10;
    bool readOnly_ = false;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer settle_;
    FolderState dataFolder_;
};
