#include "app/tavo_windows.h"

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
#include "tools/f_result.h"
#include "tools/find.h"
#include "tools/help_window.h"
#include "tools/imginput.h"
#include "tools/restore_form.h"
#include "tools/schedule.h"
#include "tools/setting.h"
#include "uikit/message_box.h"

TavoWindows::TavoWindows(const std::filesystem::path& programFolder)
    : mainWindow_(std::make_unique<TSDIAppForm>(programFolder)) {
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

// Each window is made on first use, with the main window as its parent and its diary.
TAboutBox* TavoWindows::AboutBox() {
    if (!aboutBox_)
        aboutBox_ = new TAboutBox(mainWindow_.get());
    return aboutBox_;
}

TPagesDlg* TavoWindows::PagesDlg() {
    if (!pagesDlg_)
        pagesDlg_ = new TPagesDlg(mainWindow_.get(), mainWindow_.get());
    return pagesDlg_;
}

TH_OutForm* TavoWindows::H_OutForm() {
    if (!hOutForm_) {
        hOutForm_ = new TH_OutForm(mainWindow_.get(), mainWindow_.get());
        hOutForm_->setUploadDialog(FTPUP_Form());
    }
    return hOutForm_;
}

TFTPUP_Form* TavoWindows::FTPUP_Form() {
    if (!ftpupForm_)
        ftpupForm_ = new TFTPUP_Form(mainWindow_.get(), mainWindow_.get(),
                                     [this] { return H_OutForm()->pageBytes(); });
    return ftpupForm_;
}

TPasswordDlg* TavoWindows::PasswordDlg() {
    if (!passwordDlg_)
        passwordDlg_ = new TPasswordDlg(mainWindow_.get());
    return passwordDlg_;
}

TStartDlg* TavoWindows::StartDlg() {
    if (!startDlg_)
        startDlg_ = std::make_unique<TStartDlg>(mainWindow_.get());
    return startDlg_.get();
}

TS_Form* TavoWindows::S_Form() {
    if (!sForm_)
        sForm_ = new TS_Form(mainWindow_.get(), mainWindow_.get());
    return sForm_;
}

TFindForm* TavoWindows::FindForm() {
    if (!findForm_) {
        findForm_ = new TFindForm(mainWindow_.get(), mainWindow_.get());
        findForm_->setResultWindow(Result_Find());
    }
    return findForm_;
}

TResult_Find* TavoWindows::Result_Find() {
    if (!resultFind_)
        resultFind_ = new TResult_Find(mainWindow_.get(), mainWindow_.get());
    return resultFind_;
}

TSet_Form* TavoWindows::Set_Form() {
    if (!setForm_)
        setForm_ = new TSet_Form(mainWindow_->paths().userSettingsFile, mainWindow_.get());
    return setForm_;
}

THelpForm* TavoWindows::HelpForm() {
    if (!helpForm_)
        helpForm_ = new THelpForm(mainWindow_.get());
    return helpForm_;
}

TStyleSelectForm* TavoWindows::StyleSelectForm() {
    if (!styleSelectForm_)
        styleSelectForm_ = new TStyleSelectForm(mainWindow_.get(), mainWindow_.get(), PagesDlg());
    return styleSelectForm_;
}

TImgForm* TavoWindows::ImgForm() {
    if (!imgForm_)
        imgForm_ = new TImgForm(mainWindow_.get());
    return imgForm_;
}

TRestoreForm* TavoWindows::RestoreForm() {
    if (!restoreForm_) {
        TSDIAppForm* main = mainWindow_.get();
        restoreForm_ = new TRestoreForm(
            main->paths().programFolder,
            {[main] { return main->backupFolder(); }, [main] { return main->saveIfModified(); },
             [main] { main->reloadShownDay(); }},
            main);
    }
    return restoreForm_;
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
