#include "program_location.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

#include "core/program_folder.h"
#include "ui_text.h"

std::filesystem::path ResolveProgramFolder() {
    const std::filesystem::path executableFolder = ToPath(QCoreApplication::applicationDirPath());
    if (tavo::HoldsDiary(executableFolder))
        return executableFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return ToPath(userFolder);
}
