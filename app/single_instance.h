// One program per diary folder. Two programs on one folder would each save the day they
// leave and write "tavo.ini" at exit, the last silently undoing the other's work. The
// first start locks the folder and listens on a local socket named after it; a second
// start hands over to it (the running window comes to the front) and ends. A lock written
// on another computer (a shared or synchronised folder, a USB stick moved while Tavo ran)
// can be neither asked nor seen to be stale: the user decides.
#pragma once

#include <QDate>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QLocalServer;

class DiaryInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        First,          // this program has the diary
        Handed,         // another program has it and was asked to come to the front
        Busy,           // another program has it and does not answer
        OtherComputer,  // a program on another computer has it (lockHost() names it)
    };

    // `date`: the day a second start asks the running program to show, if any.
    explicit DiaryInstance(const std::filesystem::path& programFolder,
                           std::optional<QDate> date = std::nullopt, QObject* parent = nullptr);
    ~DiaryInstance() override;

    // Takes the folder's lock; a lock whose program is gone (it crashed) is taken over.
    // A folder where no lock can be made (read-only media) is used without one.
    Claim claim();
    // After Claim::OtherComputer: the host name that computer wrote into the lock.
    QString lockHost() const { return lockHost_; }
    // After Claim::OtherComputer, with the user's consent: removes the other computer's lock
    // and takes it. False, with the reason in `error`, when the lock stays another's.
    bool takeOver(std::string* error);
    using RaiseHandler = std::function<void(std::optional<QDate> date)>;
    // Run in the first program when a later start asks for the window (and for a day).
    void setRaiseHandler(RaiseHandler handler) { raiseHandler_ = std::move(handler); }

    QString serverName() const { return serverName_; }
    static std::filesystem::path LockPath(const std::filesystem::path& programFolder);

private:
    void listen();
    bool askRunningProgram();

    QString serverName_;
    QString lockHost_;
    std::optional<QDate> date_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
    RaiseHandler raiseHandler_;
};

// What this run of the program may do with its diary.
enum class DiaryAccess {
    Stop,      // end now, having written nothing (another has the diary, or the user chose)
    Write,     // this program has the diary (its lock, or media where none can be made)
    ReadOnly,  // another computer holds the lock: show the diary, never write into its folder
};

// Claims the diary for this run of the program. A second start on this computer hands over
// to the running program, or says so when it cannot be reached; a lock from another
// computer is named, and the user chooses to open the diary read-only, to take the lock
// over after a warning, or to end (the default). Never writes to the folder unless Write.
DiaryAccess ClaimDiaryOrHandOver(DiaryInstance& instance);
