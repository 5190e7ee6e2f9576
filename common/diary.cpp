#include "common/diary.h"

#include <QFileSystemWatcher>
#include <algorithm>
#include <set>
#include <system_error>

#include "common/ui_text.h"
#include "core/conflicts.h"

namespace {

constexpr int kSettleMs = 300;  // a sync tool writes a burst of files; look once after it

}  // namespace

Diary::Diary(const std::filesystem::path& programFolder, QObject* parent)
    : QObject(parent), paths_(tavo::ProgramPaths::In(programFolder)), store_(programFolder) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &Diary::checkForChanges);
    // The first look waits for the event loop, so that start-up does not wait for it.
    QTimer::singleShot(0, this, [this] {
        if (auto state = readDataFolder())
            dataFolder_ = std::move(*state);
        watch();
    });
}

Diary::~Diary() = default;

bool Diary::readPreferences(std::string* problems, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(paths_.userSettingsFile, ec))
        return true;
    tavo::UserSettings settings;
    if (!tavo::ReadUserSettingsFile(paths_.userSettingsFile, &settings, problems, error))
        return false;
    preferences_ = settings;
    editorFontSize_ = settings.fontSizeIndex + tavo::kFontSizeIndexOffset;
    return true;
}

void Diary::setPreferences(const tavo::UserSettings& preferences) {
    if (preferences == preferences_)
        return;
    preferences_ = preferences;
    emit preferencesChanged();
}

std::filesystem::path Diary::backupFolder() const {
    if (preferences_.backupFolder.empty())
        return paths_.programFolder / "backup";
    return paths_.programFolder / ToPath(FromCp932(preferences_.backupFolder));
}

void Diary::watch() {
    // The program folder tells of data.index replaced and of data/ itself coming or going;
    // data/ of its entry files renamed into place, added or removed. A file rewritten in
    // place goes unnoticed here, which the checks on focus-in and before saves make up for.
    if (!watcher_) {
        watcher_ = new QFileSystemWatcher(this);
        connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(); });
        connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { settle_.start(); });
    }
    for (const std::filesystem::path& path : {paths_.programFolder, store_.DataFolder()}) {
        const QString name = FromPath(path);
        std::error_code ec;
        if (!watcher_->directories().contains(name) && std::filesystem::is_directory(path, ec))
            watcher_->addPath(name);
    }
}

std::optional<Diary::FolderState> Diary::readDataFolder() const {
    FolderState state;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(store_.DataFolder(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (tavo::ParseConflictCopyName(name)) {
            state.conflictCopies.insert(name);
            continue;
        }
        if (!tavo::IsEntryFileName(name))
            continue;
        std::error_code fileError;
        const auto size = it->file_size(fileError);
        const auto time = it->last_write_time(fileError);
        if (fileError)
            continue;  // gone between the listing and the look
        state.entries[name] = {
            size, static_cast<std::int64_t>(
                      std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch())
                          .count())};
    }
    if (ec)
        return std::nullopt;
    return state;
}

void Diary::keepIndexInStep(const FolderState& state) {
    if (readOnly_)
        return;
    std::vector<std::string> index;
    std::string error;
    if (!store_.ReadIndex(&index, &error))
        return;  // reported where the index is used
    std::set<std::string> listed;
    for (const std::string& line : index)
        if (tavo::IsEntryFileName(line + ".txt"))
            listed.insert(line);
    std::set<std::string> present;
    for (const auto& [name, file] : state.entries)
        present.insert(tavo::EntryName(name));
    if (listed != present)
        store_.RebuildIndex(&error);
}

void Diary::checkForChanges() {
    settle_.stop();
    watch();  // data/ may have come back, or been made anew
    std::optional<FolderState> state = readDataFolder();
    if (!state)
        return;
    QStringList changed;
    const auto& was = dataFolder_.entries;
    const auto& is = state->entries;
    auto before = was.begin();
    auto now = is.begin();
    while (before != was.end() || now != is.end()) {
        if (now == is.end() || (before != was.end() && before->first < now->first)) {
            changed << QString::fromStdString((before++)->first);
        } else if (before == was.end() || now->first < before->first) {
            changed << QString::fromStdString((now++)->first);
        } else {
            if (!(before->second == now->second))
                changed << QString::fromStdString(now->first);
            ++before;
            ++now;
        }
    }
    const bool newConflictCopies =
        !std::includes(dataFolder_.conflictCopies.begin(), dataFolder_.conflictCopies.end(),
                       state->conflictCopies.begin(), state->conflictCopies.end());
    dataFolder_ = std::move(*state);
    if (!changed.isEmpty()) {
        keepIndexInStep(dataFolder_);
        emit entriesChanged(changed);
    }
    if (newConflictCopies)
        emit conflictCopiesAppeared();
}
