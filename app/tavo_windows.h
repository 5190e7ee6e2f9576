// All windows of the program. The main window is made at start; every other window when it
// is first opened (so start-up does not wait for windows the user may never open), and then
// kept until the program ends.
#pragma once

#include <QDate>
#include <filesystem>
#include <memory>
#include <optional>

class Diary;
class TSDIAppForm;
class TAboutBox;
class TH_OutForm;
class TPasswordDlg;
class TStartDlg;
class TSet_Form;
class TFindForm;
class TFTPUP_Form;
class THelpForm;
class TResult_Find;
class TS_Form;
class TPagesDlg;
class TStyleSelectForm;
class TImgForm;
class TRestoreForm;

// A folder named on the command line that holds no diary yet: true when it already holds
// one, or when the user agrees to start a new diary there.
bool ConfirmDiaryFolder(const std::filesystem::path& folder);

class TavoWindows {
public:
    // `readOnly`: the diary is open on another computer and this run writes nothing to it.
    explicit TavoWindows(const std::filesystem::path& programFolder, bool readOnly = false);
    ~TavoWindows();

    // Shows the main window on `date` (today when none), or, while the diary is locked,
    // the start dialog in its place.
    void start(std::optional<QDate> date = std::nullopt);
    // Another start asked for this diary: the window it would have opened comes forward,
    // and the main window goes to the day it named.
    void bringToFront(std::optional<QDate> date = std::nullopt);

    Diary& diary() const { return *diary_; }
    TSDIAppForm* SDIAppForm() const { return mainWindow_.get(); }
    // The other windows, each made on first use.
    TAboutBox* AboutBox();
    TH_OutForm* H_OutForm();
    TPasswordDlg* PasswordDlg();
    TStartDlg* StartDlg();
    TSet_Form* Set_Form();
    THelpForm* HelpForm();
    TImgForm* ImgForm();
    TFindForm* FindForm();
    TResult_Find* Result_Find();
    TS_Form* S_Form();
    TFTPUP_Form* FTPUP_Form();
    TPagesDlg* PagesDlg();
    TStyleSelectForm* StyleSelectForm();
    TRestoreForm* RestoreForm();

private:
    std::unique_ptr<Diary> diary_;  // outlives every window
    std::unique_ptr<TSDIAppForm> mainWindow_;
    // Dialogs that belong to the main window are deleted with it.
    TAboutBox* aboutBox_ = nullptr;
    TH_OutForm* hOutForm_ = nullptr;
    TPasswordDlg* passwordDlg_ = nullptr;
    std::unique_ptr<TStartDlg> startDlg_;
    TSet_Form* setForm_ = nullptr;
    THelpForm* helpForm_ = nullptr;
    TImgForm* imgForm_ = nullptr;
    TFindForm* findForm_ = nullptr;
    TResult_Find* resultFind_ = nullptr;
    TS_Form* sForm_ = nullptr;
    TFTPUP_Form* ftpupForm_ = nullptr;
    TPagesDlg* pagesDlg_ = nullptr;
    TStyleSelectForm* styleSelectForm_ = nullptr;
    TRestoreForm* restoreForm_ = nullptr;
};
