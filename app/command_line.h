// What `tavo` was asked to do on its command line. Read before the application object
// exists, so that --help, --version and mistakes are answered without a display.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>

struct StartOptions {
    enum class Action { Start, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Start;
    std::optional<std::filesystem::path> folder;  // --folder, links followed; it exists
    std::optional<QDate> date;                    // --date
    QString text;  // the help or version text, or the one line that says what is wrong
};

// `arguments` as the program received them, the program's name first. Qt's own options
// (-platform, -style, …) pass through for the application object to take.
StartOptions ParseStartOptions(const QStringList& arguments);

// The exit status of a refused command line.
inline constexpr int kBadCommandLine = 2;
