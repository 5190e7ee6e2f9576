// What the main window keeps between runs: its place and panes in "tavo.ini", the user's
// preferences from "User.ini" applied at start, and the folder pages are saved to.
#include <QGroupBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolBar>
#include <algorithm>

#include "common/ui_text.h"
#include "core/settings.h"
#include "core/user_settings.h"
#include "main_window/input_method.h"
#include "main_window/sdimain.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"

namespace {

// Where a window stored at `frame` should go: there, unless no screen shows enough of it
// to grab (a monitor that has since been removed), then to the primary screen's corner.
QPoint OnSomeScreen(const QRect& frame) {
    constexpr int kGrabbable = 40;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shown = screen->availableGeometry().intersected(frame);
        if (shown.width() >= kGrabbable && shown.height() >= kGrabbable)
            return frame.topLeft();
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->availableGeometry().topLeft() : frame.topLeft();
}

void ReportUnreadLines(QWidget* parent, const std::filesystem::path& file,
                       const std::string& problems) {
    MessageBox::error(parent, QStringLiteral("\"%1\" の次の行を読めなかったため、既定値を使います:\n%2")
                                  .arg(FromPath(file), QString::fromStdString(problems)));
}

// Reads a settings file to apply at start. Lines that cannot be read keep their defaults
// and are reported once; a file that cannot be read at all is reported and not applied.
template <typename Settings, typename Reader>
bool ReadForStart(QWidget* parent, const std::filesystem::path& file, Reader read,
                  Settings* settings) {
    std::string problems, error;
    if (!read(file, settings, &problems, &error)) {
        MessageBox::error(parent, QString::fromStdString(error));
        return false;
    }
    if (!problems.empty())
        ReportUnreadLines(parent, file, problems);
    return true;
}

}  // namespace

void TSDIAppForm::applySettingsFile() {
    tavo::AppSettings settings;
    if (!ReadForStart(this, paths().settingsFile, tavo::ReadSettingsFile, &settings))
        return;

    toolBar_->setVisible(settings.toolBarVisible);
    privatePane_->setVisible(settings.privatePaneVisible);
    if (settings.windowState == 3) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        resize(settings.width, settings.height);
        move(OnSomeScreen(QRect(settings.left, settings.top, width(), height())));
    }
    htmlSavePath_ = FromCp932(settings.htmlSavePath);
    storedHtmlSavePath_ = settings.htmlSavePath;
    privatePaneHeight_ = std::max(settings.privatePaneHeight, kMinimumPaneHeight);
    toolBarAction_->setChecked(settings.toolBarVisible);
    privatePaneAction_->setChecked(settings.privatePaneVisible);
}

void TSDIAppForm::applyUserSettings() {
    std::string problems, error;
    if (!diary_.readPreferences(&problems, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (!problems.empty())
        ReportUnreadLines(this, paths().userSettingsFile, problems);
    const tavo::UserSettings& settings = diary_.preferences();

    const QString title = FromCp932(settings.diaryTitle);
    if (!title.isEmpty()) {
        const QString caption = title + QStringLiteral(" - Tavo");
        MessageBox::setApplicationTitle(caption);
        setWindowTitle(caption);
    }
    const int editorFontSize = diary_.editorFontSize();
    for (QWidget* editor : {static_cast<QWidget*>(titleEdit_), static_cast<QWidget*>(publicEdit_),
                            static_cast<QWidget*>(privateEdit_)}) {
        editor->setFont(EditorFont(editorFontSize));
        QPalette palette = editor->palette();
        if (settings.fontColor)
            palette.setColor(QPalette::Text, ColorFromValue(*settings.fontColor));
        if (settings.backColor)
            palette.setColor(QPalette::Base, ColorFromValue(*settings.backColor));
        editor->setPalette(palette);
    }
    if (settings.useInputMethod.value_or(false))
        RequestJapaneseInputOnFocus(titleEdit_);
}

void TSDIAppForm::setHtmlSavePath(const QString& path) {
    htmlSavePath_ = path;
    const Cp932Text stored = ToCp932(path);
    if (!stored.usedCharacterReferences) {
        storedHtmlSavePath_ = stored.bytes;
        return;
    }
    // Stored with "&#NNN;" the name would lead to no folder at the next start.
    reportOnce(QStringLiteral("保存先フォルダの名前に Shift_JIS (CP932) で表せない文字があるため、"
                              "次回の起動では前の保存先フォルダを使います"),
               QStringLiteral("。\n\"%1\"").arg(path), &htmlSavePathReported_);
}

bool TSDIAppForm::writeSettings() {
    tavo::AppSettings settings;
    settings.width = width();
    settings.height = height();
    settings.left = x();
    settings.top = y();
    settings.htmlSavePath = storedHtmlSavePath_;
    settings.publicPaneHeight = publicPane_->height();
    settings.privatePaneHeight = privatePaneHeight();
    settings.toolBarVisible = toolBarAction_->isChecked();
    settings.privatePaneVisible = privatePaneAction_->isChecked();
    settings.windowState = isMaximized() ? 3 : (isMinimized() ? 2 : 1);
    std::string error;
    if (!tavo::WriteSettingsFile(paths().settingsFile, settings, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    return true;
}
