// One program per diary folder. Two programs on one folder would each save the day they
// leave and write "tavo.ini" at exit, the last silently undoing the other's work. The
// first start locks the folder and listens on a local socket named after it; a second
// start hands over to it (the running window comes to the front) and ends.
#pragma once

#include <QDate>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;

class DiaryInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        First,   // this program has the diary
        Handed,  // another program has it and was asked to come to the front
        Busy,    // another program has it and does not answer
    };

    // `date`: the day a second start asks the running program to show, if any.
    explicit DiaryInstance(const std::filesystem::path& programFolder,
                           std::optional<QDate> date = std::nullopt, QObject* parent = nullptr);
    ~DiaryInstance() override;

    // Takes the folder's lock; a lock whose program is gone (it crashed) is taken over.
    // A folder where no lock can be made (read-only media) is used without one.
    Claim claim();
    using RaiseHandler = std::function<void(std::optional<QDate> date)>;
    // Run in the first program when a later start asks for the window (and for a day).
    void setRaiseHandler(RaiseHandler handler) { raiseHandler_ = std::move(handler); }

    QString serverName() const { return serverName_; }
    static std::filesystem::path LockPath(const std::filesystem::path& programFolder);

private:
    void listen();
    bool askRunningProgram();

    QString serverName_;
    std::optional<QDate> date_;
    QLockFile lock_;
    std::unique_ptr<QLocalServer> server_;
    RaiseHandler raiseHandler_;
};

// Claims the diary for this run of the program: true when it may go on. A second start
// says so when the running program cannot be reached, and never writes to the folder.
bool ClaimDiaryOrHandOver(DiaryInstance& instance);
