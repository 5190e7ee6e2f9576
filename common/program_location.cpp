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
