// What every GUI test needs: a fresh program folder, and answers for everything that
// would otherwise wait for a person or leave the test (message boxes, the colour dialog,
// the browser, the end of the program), each recorded for the test to check.
#pragma once

#include <QColor>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/date.h"
#include "main_window/conflict_dialog.h"
#include "uikit/message_box.h"

class GuiHarness {
public:
    // The day the windows take for today, whatever the clock says: the last of a month
    // that follows a shorter one.
    static constexpr tavo::Date kToday{2024, 3, 31};

    void setUp();
    void tearDown();

    std::filesystem::path folder() const { return dir_->path().toStdString(); }

    QList<MessageBox::Shown> shown;
    QList<MessageBox::Button> answers;  // answered in order; then each box's first button
    QList<QUrl> openedUrls;
    QList<TConflictDlg::Shown> conflictsShown;    // two versions of a day, side by side
    QList<TConflictDlg::Choice> conflictAnswers;  // answered in order; then cancelled
    QList<std::optional<QColor>> colorAnswers;    // then the dialog is cancelled
    QList<QColor> colorDialogStarts;              // the colour each colour dialog opened with
    QStringList saveAnswers;                      // file names chosen; then cancelled
    QStringList saveDialogFolders;                // the folder each save dialog opened in
    int programEnds = 0;

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

// The child of `parent` with that object name; the test fails hard when there is none.
template <typename T>
T* Child(const QObject* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        qFatal("no child named %s", name);
    return child;
}
