// What the program asks of the desktop: opening an address in the default browser and
// choosing a colour. Tests replace both, so no browser or modal dialog appears in them.
#pragma once

#include <QColor>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

class UrlOpener {
public:
    // Asks the desktop to open the address; the result is not reported.
    static void open(const QUrl& url);
    static void setHandler(std::function<void(const QUrl&)> handler);
};

class FileChooser {
public:
    // The file the user chose to save to, starting in `folder`; empty when cancelled.
    // `filter` is in Qt's form ("htmlファイル (*.html *.htm)"); a name typed without an
    // extension gets `defaultSuffix`.
    static QString saveFileName(QWidget* parent, const QString& folder, const QString& filter,
                                const QString& defaultSuffix);
    static void setResponder(std::function<QString(const QString& folder)> responder);
};

class ColorPicker {
public:
    // The colour the user chose, or nothing when the dialog was cancelled.
    static std::optional<QColor> choose(QWidget* parent, const QColor& initial);
    static void setResponder(std::function<std::optional<QColor>(const QColor& initial)> responder);
};

// Opens the program's home page in the default browser.
void GOTOHP();

// Ends the program at once: no close query runs and nothing more is written.
class ProgramEnd {
public:
    static void now();
    static void setHandler(std::function<void()> handler);
};
