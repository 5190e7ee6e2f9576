#include "tavo_windows.h"

#include "core/program_folder.h"
#include "core/settings.h"
#include "ftp/ftpup.h"
#include "help_window.h"
#include "message_box.h"
#include "password.h"
#include "publish/html_out.h"
#include "publish/html_set.h"
#include "publish/style_select.h"
#include "pw_start.h"
#include "sdimain.h"
#include "tools/about.h"
#include "tools/f_result.h"
#include "tools/find.h"
#include "tools/imginput.h"
#include "tools/restore_form.h"
#include "tools/schedule.h"
#include "tools/setting.h"
#include "ui_text.h"

TavoWindows::TavoWindows(const std::filesystem::path& programFolder)
    : mainWindow_(std::make_unique<TSDIAppForm>(programFolder)) {
    TSDIAppForm* main = mainWindow_.get();
    aboutBox_ = new TAboutBox(main);
    pagesDlg_ = new TPagesDlg(main);
    hOutForm_ = new TH_OutForm(main);
    passwordDlg_ = new TPasswordDlg(main);
    startDlg_ = std::make_unique<TStartDlg>(main);
    sForm_ = new TS_Form(main);
    findForm_ = new TFindForm(main);
    resultFind_ = new TResult_Find(main);
    findForm_->setResultWindow(resultFind_);
    setForm_ = new TSet_Form(main->paths().userSettingsFile, main);
    ftpupForm_ = new TFTPUP_Form(main, [out = hOutForm_] { return out->pageBytes(); });
    hOutForm_->setUploadDialog(ftpupForm_);
    helpForm_ = new THelpForm(main);
    styleSelectForm_ = new TStyleSelectForm(main, pagesDlg_);
    imgForm_ = new TImgForm(main);
    restoreForm_ = new TRestoreForm(
        main->paths().programFolder,
        {[main] { return main->backupFolder(); }, [main] { return main->saveIfModified(); },
         [main] { main->reloadShownDay(); }},
        main);
    TSDIAppForm::Windows windows;
    windows.aboutBox = aboutBox_;
    windows.htmlOutForm = hOutForm_;
    windows.findForm = findForm_;
    windows.scheduleForm = sForm_;
    windows.passwordDlg = passwordDlg_;
    windows.setForm = setForm_;
    windows.helpForm = helpForm_;
    windows.imgForm = imgForm_;
    windows.styleSelectForm = styleSelectForm_;
    windows.restoreForm = restoreForm_;
    main->setWindows(windows);
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
        startDlg_->showInstead();
}

void TavoWindows::bringToFront(std::optional<QDate> date) {
    if (date)
        mainWindow_->goToDate(*date);
    // While the diary is locked, the start dialog stands in for the main window.
    QWidget* window = startDlg_->isVisible() ? static_cast<QWidget*>(startDlg_.get())
                                             : static_cast<QWidget*>(mainWindow_.get());
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}
