#include "common/program_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "core/program_folder.h"

std::filesystem::path ResolveProgramFolder() {
    const std::filesystem::path executableFolder =
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
    if (tavo::HoldsDiary(executableFolder))
        return executableFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return std::filesystem::path(userFolder.toStdString());
}

std::filesystem::path FallbackRecoveryRoot() {
    // The generic location follows XDG_DATA_HOME, and is the same whatever the application
    // and organisation names are.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty())
        return {};  // no home folder: no place elsewhere
    return std::filesystem::path(dataHome.toStdU16String()) / "tavo" / "recovery-elsewhere";
}
