// The diary's main window: one day at a time, saved whenever the user leaves it.
#pragma once

#include <QColor>
#include <QDate>
#include <QList>
#include <QSet>
#include <QMainWindow>
#include <QString>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "core/entry_store.h"
#include "core/program_folder.h"
#include "core/settings.h"
#include "main_window/day_editor.h"
#include "uikit/diary_context.h"

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

class TSDIAppForm : public QMainWindow, public DiaryContext, private DayEditor::Editors {
    Q_OBJECT

public:
    // The windows the menus open, each made when it is first needed and kept until the
    // program ends.
    struct Windows {
        std::function<QDialog*()> aboutBox;
        std::function<QWidget*()> htmlOutForm;
        std::function<QWidget*()> findForm;         // "日記の検索"
        std::function<QWidget*()> scheduleForm;     // "予定1週間"
        std::function<QWidget*()> styleSelectForm;  // "出力スタイル設定"
        std::function<QDialog*()> passwordDlg;
        std::function<QWidget*()> setForm;
        std::function<QWidget*()> helpForm;
        std::function<TImgForm*()> imgForm;     // "img 挿入"
        std::function<QWidget*()> restoreForm;  // "バックアップから復元"
    };

    // The window shows `diary`, which the program made and which outlives it.
    explicit TSDIAppForm(Diary& diary, QWidget* parent = nullptr);
    ~TSDIAppForm() override;

    void setWindows(const Windows& windows) { windows_ = windows; }

    Diary& diary() const override { return diary_; }
    QString htmlSavePath() const override { return htmlSavePath_; }
    // A folder whose name code page 932 cannot hold is used for the rest of the run, but
    // "tavo.ini" keeps the last folder it can hold; the user is told once.
    void setHtmlSavePath(const QString& path) override;
    bool showDate(const QDate& date) override { return goToDate(date); }

    QString shownFileName() const { return dayEditor_.fileName(); }
    QDate shownDate() const { return dayEditor_.date(); }

    // Sets the picker to `date` and shows that day, saving the day left, as every
    // navigation command does. False when the date is out of range or the save failed.
    bool goToDate(const QDate& date);
    // Saves the shown day if it was edited (before a dialog that reads entry files).
    bool saveIfModified() { return dayEditor_.saveIfModified(); }
    bool isEntryModified() const { return dayEditor_.isModified(); }
    bool writeSettings();
    // Ends the program at once without the close query: nothing more is saved or written
    // but the day's backup.
    void endWithoutCloseQuery();

    // Where the backups go: "backup" in the program folder unless the preferences name
    // another folder.
    std::filesystem::path backupFolder() const { return diary_.backupFolder(); }
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
    static constexpr int kMinimumPaneHeight = 100;

    void setUp();
    void createWidgets();
    void createActions();
    void applySettingsFile();
    void applyUserSettings();
    void applyPaneHeights();
    // The editors as the shown day's record sees them.
    DayEditor::Texts texts() const override;
    bool isModified() const override;
    void showDay(const QDate& date, DayEditor::Shown shown, const DayEditor::Texts& texts) override;
    void showMerged(const DayEditor::Texts& texts) override;
    // The picker's date changed: the day editor moves there, or the picker goes back to
    // the day the editors still hold.
    bool onPickerDateChanged();
    void textsEdited();
    void onEntriesChanged(const QStringList& fileNames);
    // Looks for changes other writers made (the watcher may have missed them).
    void checkForOtherWriters();
    DayEditor::Answer askAboutOtherVersion(const DayEditor::Texts& mine,
                                           const DayEditor::OtherVersion& theirs, bool deleting);
    // Asks about each conflict copy a sync tool left in the data folder that was not asked
    // about in this run.
    void offerConflictCopies();
    // The diary is open on another computer: nothing that writes to it can be chosen.
    void setReadOnlyDiary();
    void hideOtherWindows();
    // Every day whose recovery file differs from its entry, or only `onlyFile`'s.
    void offerRecoveries(const QString& onlyFile = {});
    void clearModified();
    void setEditorsReadOnly(bool readOnly);
    // Says `text` in the status bar; the first time, also in a message box with `details`.
    void reportOnce(const QString& text, const QString& details, bool* reported);
    void reportCharacterReferences();
    int privatePaneHeight() const;

    void onPreviousEntry();
    void onNextEntry();
    void jumpToEntry(bool later);
    void onToggleToolBar();
    void onTogglePrivatePane();
    void onPublicTabChanged(int index);
    void refreshPreview();
    void refreshPreviewIfShown();
    void onInsertColor();
    void buildUserDefMenu();
    void insertUserDefText(size_t entry);
    // A file dropped on the window: one GIF, JPEG or PNG while the public text has the
    // focus opens the image dialog; anything else is ignored.
    void onFilesDropped(const QList<QUrl>& urls);
    bool filterDrop(QEvent* event);
    void editCommand(const char* slot);
    void openAfterSave(QWidget* window, const QString& caption);
    void notYetAvailable(const QString& caption);
    void showWindow(QWidget* window, const QString& caption);
    void execDialog(QDialog* dialog, const QString& caption);

    QAction* addAction(const char* name, const QString& caption, const QString& hint,
                       const QKeySequence& shortcut = {});

    Diary& diary_;
    Windows windows_;
    bool ending_ = false;
    QString htmlSavePath_;
    std::string storedHtmlSavePath_;  // as "tavo.ini" holds it
    bool htmlSavePathReported_ = false;
    bool charRefsReported_ = false;
    // The private pane's height while it is hidden or not laid out yet: read at start,
    // then the height it had when last hidden.
    int privatePaneHeight_ = 121;
    bool paneHeightsApplied_ = false;
    RecoveryWriter* recovery_ = nullptr;
    DayEditor dayEditor_;   // the one record of the shown day
    bool loading_ = false;  // the program, not the user, is setting the texts
    bool recoveriesOffered_ = false;
    QSet<QString> conflictCopiesAsked_;
    bool offeringConflictCopies_ = false;

    QToolBar* toolBar_ = nullptr;
    QLabel* statusPanels_[3] = {};
    QDateEdit* datePicker_ = nullptr;
    QGroupBox* publicPane_ = nullptr;
    QGroupBox* privatePane_ = nullptr;
    QSplitter* paneSplitter_ = nullptr;
    QLineEdit* titleEdit_ = nullptr;
    QTabWidget* publicTabs_ = nullptr;
    QPlainTextEdit* publicEdit_ = nullptr;
    QPlainTextEdit* privateEdit_ = nullptr;
    QWebEngineView* preview_ = nullptr;

    QMenu* userDefMenu_ = nullptr;
    QColor lastTextColor_ = Qt::black;  // the colour dialog starts from its last choice
    QAction* toolBarAction_ = nullptr;
    QAction* privatePaneAction_ = nullptr;
};
