#include "app/tavo_windows.h"

#include <QTimer>

#include "common/diary.h"
#include "common/ui_text.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "ftp/ftpup.h"
#include "main_window/password.h"
#include "main_window/pw_start.h"
#include "main_window/sdimain.h"
#include "publish/html_out.h"
#include "publish/html_set.h"
#include "publish/style_select.h"
#include "tools/about.h"
#include "tools/backup.h"
#include "tools/f_result.h"
#include "tools/find.h"
#include "tools/help_window.h"
#include "tools/imginput.h"
#include "tools/restore_form.h"
#include "tools/schedule.h"
#include "tools/setting.h"
#include "uikit/message_box.h"

TavoWindows::TavoWindows(const std::filesystem::path& programFolder, bool readOnly)
    : diary_(std::make_unique<Diary>(programFolder)) {
    // A restore cut short by a crash is completed before anything reads the diary; one
    // that cannot be leaves the diary as it is, and this run only reads it.
    std::string report, error;
    if (!readOnly && !tavo::FinishInterruptedRestore(programFolder, &report, &error)) {
        MessageBox::error(nullptr, QString::fromStdString(error) +
                                       QStringLiteral("\n日記は読み取り専用で開きます。"));
        readOnly = true;
    }
    diary_->setReadOnly(readOnly);
    mainWindow_ = std::make_unique<TSDIAppForm>(*diary_);
    if (!report.empty())
        MessageBox::message(mainWindow_.get(), QString::fromStdString(report));
    // What interrupted runs left behind (the backup folder is known once User.ini is read),
    // once the event loop runs, so that the first window does not wait for the folder walks.
    if (!readOnly)
        QTimer::singleShot(0, mainWindow_.get(), [this, programFolder] {
            std::string leftoverError;
            if (!tavo::RemoveLeftovers(programFolder, diary_->backupFolder(), &leftoverError))
                MessageBox::error(mainWindow_.get(), QString::fromStdString(leftoverError));
        });
    TSDIAppForm::Windows windows;
    windows.aboutBox = [this] { return AboutBox(); };
    windows.htmlOutForm = [this] { return H_OutForm(); };
    windows.findForm = [this] { return FindForm(); };
    windows.scheduleForm = [this] { return S_Form(); };
    windows.passwordDlg = [this] { return PasswordDlg(); };
    windows.setForm = [this] { return Set_Form(); };
    windows.helpForm = [this] { return HelpForm(); };
    windows.imgForm = [this] { return ImgForm(); };
    windows.styleSelectForm = [this] { return StyleSelectForm(); };
    windows.restoreForm = [this] { return RestoreForm(); };
    mainWindow_->setWindows(windows);
}

namespace {

// `window`, made by `make` the first time it is asked for.
template <typename Window, typename Make>
Window* OnFirstUse(Window*& window, const Make& make) {
    if (!window)
        window = make();
    return window;
}

}  // namespace

// Each window is made on first use, with the main window as its parent and its diary.
TAboutBox* TavoWindows::AboutBox() {
    return OnFirstUse(aboutBox_, [&] { return new TAboutBox(SDIAppForm()); });
}

TPagesDlg* TavoWindows::PagesDlg() {
    return OnFirstUse(pagesDlg_, [&] { return new TPagesDlg(SDIAppForm(), SDIAppForm()); });
}

TH_OutForm* TavoWindows::H_OutForm() {
    return OnFirstUse(hOutForm_, [&] {
        auto* form = new TH_OutForm(SDIAppForm(), SDIAppForm());
        form->setUploadDialog(FTPUP_Form());
        return form;
    });
}

TFTPUP_Form* TavoWindows::FTPUP_Form() {
    return OnFirstUse(ftpupForm_, [&] {
        return new TFTPUP_Form(SDIAppForm(), SDIAppForm(),
                               [this] { return H_OutForm()->pageBytes(); });
    });
}

TPasswordDlg* TavoWindows::PasswordDlg() {
    return OnFirstUse(passwordDlg_, [&] { return new TPasswordDlg(SDIAppForm()); });
}

TStartDlg* TavoWindows::StartDlg() {
    if (!startDlg_)
        startDlg_ = std::make_unique<TStartDlg>(SDIAppForm());
    return startDlg_.get();
}

TS_Form* TavoWindows::S_Form() {
    return OnFirstUse(sForm_, [&] { return new TS_Form(SDIAppForm(), SDIAppForm()); });
}

TFindForm* TavoWindows::FindForm() {
    return OnFirstUse(findForm_, [&] {
        auto* form = new TFindForm(SDIAppForm(), SDIAppForm());
        form->setResultWindow(Result_Find());
        return form;
    });
}

TResult_Find* TavoWindows::Result_Find() {
    return OnFirstUse(resultFind_, [&] { return new TResult_Find(SDIAppForm(), SDIAppForm()); });
}

TSet_Form* TavoWindows::Set_Form() {
    return OnFirstUse(setForm_, [&] {
        auto* form = new TSet_Form(diary_->paths().userSettingsFile, SDIAppForm());
        form->saved = [this](const tavo::UserSettings& settings) {
            diary_->setPreferences(settings);
        };
        return form;
    });
}

THelpForm* TavoWindows::HelpForm() {
    return OnFirstUse(helpForm_, [&] { return new THelpForm(SDIAppForm()); });
}

TStyleSelectForm* TavoWindows::StyleSelectForm() {
    return OnFirstUse(styleSelectForm_,
                      [&] { return new TStyleSelectForm(SDIAppForm(), SDIAppForm(), PagesDlg()); });
}

TImgForm* TavoWindows::ImgForm() {
    return OnFirstUse(imgForm_, [&] { return new TImgForm(SDIAppForm()); });
}

TRestoreForm* TavoWindows::RestoreForm() {
    return OnFirstUse(restoreForm_, [&] {
        TSDIAppForm* main = mainWindow_.get();
        return new TRestoreForm(
            main->paths().programFolder,
            {[main] { return main->backupFolder(); }, [main] { return main->saveIfModified(); },
             [main] { main->reloadShownDay(); }},
            main);
    });
}

TavoWindows::~TavoWindows() = default;

bool ConfirmDiaryFolder(const std::filesystem::path& folder) {
    return tavo::HoldsDiary(folder) ||
           MessageBox::questionYesCancel(
               nullptr,
               QStringLiteral("\"%1\" には日記がありません。ここに新しい日記を作りますか？")
                   .arg(FromPath(folder)));
}

void TavoWindows::start(std::optional<QDate> date) {
    if (date)
        mainWindow_->goToDate(*date);
    std::string password, error;
    if (!tavo::ReadLockPassword(mainWindow_->paths().settingsFile, &password, &error))
        MessageBox::error(mainWindow_.get(), QString::fromStdString(error));
    if (password.empty())
        mainWindow_->show();
    else
        StartDlg()->showInstead();
}

void TavoWindows::bringToFront(std::optional<QDate> date) {
    if (date)
        mainWindow_->goToDate(*date);
    // While the diary is locked, the start dialog stands in for the main window.
    QWidget* window = startDlg_ && startDlg_->isVisible()
                          ? static_cast<QWidget*>(startDlg_.get())
                          : static_cast<QWidget*>(mainWindow_.get());
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}
