// The diary's main window: one day at a time, saved whenever the user leaves it.
#pragma once

#include <QColor>
#include <QDate>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QUrl>
#include <filesystem>

#include "core/entry_store.h"
#include "core/settings.h"

class QAction;
class QDateEdit;
class QDragEnterEvent;
class QDropEvent;
class TImgForm;
class QDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolBar;
class QWebEngineView;
class RecoveryWriter;

// The program folder and the full paths of the files in it.
struct ProgramPaths {
    std::filesystem::path programFolder;
    std::filesystem::path settingsFile;      // "tavo.ini"
    std::filesystem::path userSettingsFile;  // "User.ini"
    std::filesystem::path ftpSettingsFile;   // "FTP.ini"
    std::filesystem::path ftpTrustFile;      // "ftp-trust.ini"
    std::filesystem::path indexFile;         // "data.index"
    std::filesystem::path userDefFile;       // "userdef.ini"

    static ProgramPaths In(const std::filesystem::path& programFolder);
};

class TSDIAppForm : public QMainWindow {
    Q_OBJECT

public:
    // The windows the menus open; each lives as long as the program.
    struct Windows {
        QDialog* aboutBox = nullptr;
        QWidget* htmlOutForm = nullptr;
        QWidget* findForm = nullptr;         // "日記の検索"
        QWidget* scheduleForm = nullptr;     // "予定1週間"
        QWidget* styleSelectForm = nullptr;  // "出力スタイル設定"
        QDialog* passwordDlg = nullptr;
        QWidget* setForm = nullptr;
        QWidget* helpForm = nullptr;
        TImgForm* imgForm = nullptr;     // "img 挿入"
        QWidget* restoreForm = nullptr;  // "バックアップから復元"
    };

    explicit TSDIAppForm(const std::filesystem::path& programFolder, QWidget* parent = nullptr);
    ~TSDIAppForm() override;

    void setWindows(const Windows& windows) { windows_ = windows; }

    const ProgramPaths& paths() const { return paths_; }
    // The point size of the editing and list fonts, from the preferences read at start.
    int EditorFontSize() const { return editorFontSize_; }
    const tavo::EntryStore& store() const { return store_; }
    QString HtmlSavePath() const { return htmlSavePath_; }
    // A folder whose name code page 932 cannot hold is used for the rest of the run, but
    // "tavo.ini" keeps the last folder it can hold; the user is told once.
    void setHtmlSavePath(const QString& path);

    QString CurrentFileName() const { return currentFileName_; }
    QString LoadedFileName() const { return loadedFileName_; }
    QDate shownDate() const;

    // Shows one day in the editors and the status bar.
    void LoadEntry(const QString& fileName);
    // Run after every change of the picker's date: saves the day being left if it was
    // edited, then loads the picked day. False when the save failed; the picker then
    // returns to the day the editors still hold.
    bool DTP_Change();
    // Sets the picker to `date` and runs DTP_Change, as every navigation command does.
    bool goToDate(const QDate& date);
    // Saves the shown day if it was edited (before a dialog that reads entry files).
    bool saveIfModified();
    bool isEntryModified() const;
    bool WriteSettings();
    // Ends the program at once without the close query: nothing more is saved or written
    // but the day's backup.
    void endWithoutCloseQuery();

    // Where the backups go: "backup" in the program folder unless the preferences read at
    // start name another folder.
    std::filesystem::path backupFolder() const;
    // The day's snapshot, made when the program ends normally (at most one a day), unless
    // the preferences turned backups off.
    void backUpOncePerDay();
    // After the diary's files were replaced: shows the day again from its file.
    void reloadShownDay();
    // How soon typed texts reach the recovery file (the crash test types fast).
    void setRecoveryDelays(int idleMs, int longestMs);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void createWidgets();
    void createActions();
    void createMenusAndToolBar();
    void applySettingsFile();
    void applyUserSettings();
    void applyPaneHeights();
    bool saveEntryTo(const QString& fileName);
    // The three texts as a save stores them.
    tavo::Entry editorEntry(bool* usedCharacterReferences = nullptr) const;
    void textsEdited();
    // Every day whose recovery file differs from its entry, or only `onlyFile`'s.
    void offerRecoveries(const QString& onlyFile = {});
    void clearModified();
    void setEditorsReadOnly(bool readOnly);
    // Says `text` in the status bar; the first time, also in a message box with `details`.
    void reportOnce(const QString& text, const QString& details, bool* reported);
    void reportCharacterReferences();
    int privatePaneHeight() const;

    void beforediaryClick();
    void nextdiaryClick();
    void jumpToEntry(bool later);
    void D1Click();
    void T2Click();
    void P1Click();
    void PageControl2Change(int index);
    void refreshPreview();
    void refreshPreviewIfShown();
    void N18Click();
    void buildUserDefMenu();
    void UserDefStrInsert(size_t entry);
    // A file dropped on the window: one GIF, JPEG or PNG while the public text has the
    // focus opens the image dialog; anything else is ignored.
    void WMDropFiles(const QList<QUrl>& urls);
    void editCommand(const char* slot);
    void openAfterSave(QWidget* window, const QString& caption);
    void notYetAvailable(const QString& caption);
    void showWindow(QWidget* window, const QString& caption);
    void execDialog(QDialog* dialog, const QString& caption);

    QAction* addAction(const char* name, const QString& caption, const QString& hint,
                       const QKeySequence& shortcut = {});

    ProgramPaths paths_;
    Windows windows_;
    int editorFontSize_ = 10;
    bool ending_ = false;
    tavo::EntryStore store_;
    QString htmlSavePath_;
    std::string storedHtmlSavePath_;  // as "tavo.ini" holds it
    bool htmlSavePathReported_ = false;
    QString currentFileName_;
    QString loadedFileName_;
    QDate loadedDate_;
    bool charRefsReported_ = false;
    // The private pane's height while it is hidden or not laid out yet: read at start,
    // then the height it had when last hidden.
    int privatePaneHeight_ = 121;
    bool paneHeightsApplied_ = false;
    RecoveryWriter* recovery_ = nullptr;
    bool loading_ = false;  // the program, not the user, is setting the texts
    bool recoveriesOffered_ = false;
    std::string backupFolderSetting_;  // as "User.ini" holds it; empty: "backup"
    bool backupsOn_ = true;

    QToolBar* ToolBar1 = nullptr;
    QLabel* statusPanels_[3] = {};
    QDateEdit* DateTimePicker1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QTabWidget* PageControl2 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QWebEngineView* WebBrowser1 = nullptr;

    QMenu* N19 = nullptr;
    QColor lastTextColor_ = Qt::black;  // the colour dialog starts from its last choice
    QAction* T2 = nullptr;
    QAction* P1 = nullptr;
};
