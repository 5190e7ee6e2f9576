#include "uikit/gui_harness.h"

#include <QLocale>

#include "uikit/desktop.h"

void GuiHarness::setUp() {
    dir_ = std::make_unique<QTemporaryDir>();
    if (!dir_->isValid())
        qFatal("no temporary folder");
    shown.clear();
    answers.clear();
    openedUrls.clear();
    colorAnswers.clear();
    colorDialogStarts.clear();
    saveAnswers.clear();
    saveDialogFolders.clear();
    programEnds = 0;
    tavo::SetTodaySource([] { return kToday; });
    MessageBox::setResponder([this](const MessageBox::Shown& box) {
        shown << box;
        return answers.isEmpty() ? box.buttons.first() : answers.takeFirst();
    });
    UrlOpener::setHandler([this](const QUrl& url) { openedUrls << url; });
    TConflictDlg::setResponder([this](const TConflictDlg::Shown& question) {
        conflictsShown << question;
        return conflictAnswers.isEmpty() ? TConflictDlg::Choice::Cancel
                                         : conflictAnswers.takeFirst();
    });
    ColorPicker::setResponder([this](const QColor& initial) -> std::optional<QColor> {
        colorDialogStarts << initial;
        return colorAnswers.isEmpty() ? std::nullopt : colorAnswers.takeFirst();
    });
    ProgramEnd::setHandler([this] { ++programEnds; });
    FileChooser::setResponder([this](const QString& folder) {
        saveDialogFolders << folder;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    });
}

void GuiHarness::tearDown() {
    MessageBox::setResponder({});
    UrlOpener::setHandler({});
    ColorPicker::setResponder({});
    TConflictDlg::setResponder({});
    ProgramEnd::setHandler({});
    FileChooser::setResponder({});
    tavo::SetTodaySource({});
    // A diary title read at start renames the application; the next test starts afresh.
    MessageBox::setApplicationTitle(QStringLiteral("Tavo"));
    QLocale::setDefault(QLocale::system());
    dir_.reset();
}
