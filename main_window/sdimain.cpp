#include "main_window/sdimain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebEngineView>
#include <functional>
#include <system_error>

#include "common/program_location.h"
#include "common/ui_text.h"
#include "core/cp932.h"
#include "core/date.h"
#include "core/navigation.h"
#include "core/recovery.h"
#include "core/text_file.h"
#include "core/user_settings.h"
#include "main_window/input_method.h"
#include "main_window/recovery_dialog.h"
#include "main_window/recovery_writer.h"
#include "publish/style.h"
#include "tools/backup.h"
#include "tools/imginput.h"
#include "tools/insertion.h"
#include "tools/preview.h"
#include "uikit/date_picker.h"
#include "uikit/desktop.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"

namespace {

constexpr int kDefaultWidth = 438;
constexpr int kDefaultHeight = 540;

// A status bar panel of a given width that gives way when the window is narrower.
class StatusPanel : public QLabel {
public:
    StatusPanel(int width, QWidget* parent) : QLabel(parent), width_(width) {
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {width_, QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    int width_;
};

// The memo's text as typed. toPlainText() would turn no-break spaces into plain ones.
QString MemoText(const QPlainTextEdit* memo) {
    QString text = memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

// The UTF-16 length of the entry as stored, where every line break counts two.
int CharacterCount(const QString& title, const QString& publicText, const QString& privateText) {
    auto stored = [](const QString& memo) { return memo.size() + memo.count(QLatin1Char('\n')); };
    return static_cast<int>(title.size() + stored(publicText) + stored(privateText));
}

}  // namespace

TSDIAppForm::TSDIAppForm(Diary& diary, QWidget* parent)
    : QMainWindow(parent),
      diary_(diary),
      recovery_(new RecoveryWriter(
          diary.paths().programFolder,
          [this]() -> std::optional<tavo::Entry> {
              if (!isEntryModified())
                  return std::nullopt;
              return dayEditor_.entry();
          },
          [this](const QString& text) { MessageBox::error(this, text); }, this)),
      dayEditor_(diary.store(), *this, *recovery_, this) {
    setObjectName(QStringLiteral("SDIAppForm"));
    // Where typed texts go while the diary folder cannot be written (a stick pulled).
    recovery_->setFallbackRoot(FallbackRecoveryRoot());
    dayEditor_.savedCharacterReferences = [this] { reportCharacterReferences(); };
    dayEditor_.setDiaryReadOnly(diary_.isReadOnly());
    dayEditor_.setAskConflict(
        [this](const DayEditor::Texts& mine, const DayEditor::OtherVersion& theirs, bool deleting) {
            return askAboutOtherVersion(mine, theirs, deleting);
        });
    connect(&diary_, &Diary::entriesChanged, this, &TSDIAppForm::onEntriesChanged);
    connect(&diary_, &Diary::conflictCopiesAppeared, this, &TSDIAppForm::offerConflictCopies);
    setUp();
}

TSDIAppForm::~TSDIAppForm() = default;

void TSDIAppForm::setUp() {
    setWindowTitle(QStringLiteral("Tavo"));
    move(279, 133);
    createWidgets();
    createActions();
    // The designed first window shows the whole tool bar and menu at the desktop's font;
    // a stored size replaces it.
    const int barsWidth = std::max(toolBar_->sizeHint().width(), menuBar()->sizeHint().width());
    resize(std::max(kDefaultWidth, barsWidth), kDefaultHeight);
    connect(titleEdit_, &QLineEdit::textChanged, this, &TSDIAppForm::textsEdited);
    connect(publicEdit_, &QPlainTextEdit::textChanged, this, &TSDIAppForm::textsEdited);
    connect(privateEdit_, &QPlainTextEdit::textChanged, this, &TSDIAppForm::textsEdited);

    // A start that cannot create a folder says so and goes on with the rest.
    std::error_code ec;
    auto createFolder = [this](const std::filesystem::path& folder) {
        std::error_code error;
        const bool created = std::filesystem::create_directory(folder, error);
        if (error)
            MessageBox::error(this,
                              QStringLiteral("フォルダを作成できません \"%1\": %2")
                                  .arg(FromPath(folder), QString::fromStdString(error.message())));
        return created;
    };
    // A diary open on another computer is only read.
    const bool writable = !diary_.isReadOnly();
    if (writable)
        createFolder(store().DataFolder());
    // Only a new style folder gets the default style; an emptied one stays empty.
    if (writable && createFolder(tavo::StyleFolder(paths().programFolder))) {
        std::string error;
        if (!tavo::WriteDefaultStyle(paths().programFolder, &error))
            MessageBox::error(this, QString::fromStdString(error));
    }
    // The responsive style reaches every diary, also one made by an older version, but a
    // style of that name that is already there is the user's. A style folder that could not
    // be made was reported just now.
    if (writable && std::filesystem::is_directory(tavo::StyleFolder(paths().programFolder), ec)) {
        std::string error;
        if (!tavo::WriteModernStyleIfMissing(paths().programFolder, &error))
            MessageBox::error(this, QString::fromStdString(error));
    }

    if (std::filesystem::exists(paths().settingsFile, ec))
        applySettingsFile();
    if (std::filesystem::exists(paths().userSettingsFile, ec))
        applyUserSettings();

    const QDate today = ToQDate(tavo::Today());
    {
        const QSignalBlocker blocker(datePicker_);
        datePicker_->setDate(today);
    }
    dayEditor_.show(today);

    if (writable && !std::filesystem::exists(paths().indexFile, ec)) {
        std::string error;
        if (!store().RebuildIndex(&error))
            MessageBox::error(this, QString::fromStdString(error));
    }
    buildUserDefMenu();
    if (!writable)
        setReadOnlyDiary();
    titleEdit_->setFocus();
}

void TSDIAppForm::createWidgets() {
    auto* panel1 = new QWidget(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setMinimumHeight(200);
    auto* panel1Layout = new QVBoxLayout(panel1);
    panel1Layout->setContentsMargins(0, 0, 0, 0);
    panel1Layout->setSpacing(0);

    auto* panel3 = new QWidget(panel1);
    panel3->setObjectName(QStringLiteral("Panel3"));
    auto* panel3Layout = new QHBoxLayout(panel3);
    panel3Layout->setContentsMargins(4, 4, 4, 4);
    datePicker_ = MakeDatePicker(panel3, "DateTimePicker1", EntryDaysFromIndex(&store()));
    datePicker_->setKeyboardTracking(false);
    datePicker_->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    connect(datePicker_, &QDateEdit::dateChanged, this, [this] { onPickerDateChanged(); });
    panel3Layout->addWidget(datePicker_);
    panel3Layout->addStretch(1);
    panel1Layout->addWidget(panel3);

    const QFont editorFont = DesignEditorFont();

    publicPane_ = new QGroupBox(QStringLiteral("PUBLIC"));
    publicPane_->setObjectName(QStringLiteral("GroupBox1"));
    publicPane_->setMinimumHeight(kMinimumPaneHeight);
    auto* group1Layout = new QVBoxLayout(publicPane_);
    group1Layout->setContentsMargins(4, 4, 4, 4);
    auto* panel4 = new QWidget(publicPane_);
    panel4->setObjectName(QStringLiteral("Panel4"));
    auto* panel4Layout = new QHBoxLayout(panel4);
    panel4Layout->setContentsMargins(0, 0, 0, 0);
    auto* label1 = new QLabel(QStringLiteral("題名"), panel4);
    label1->setObjectName(QStringLiteral("Label1"));
    titleEdit_ = new QLineEdit(panel4);
    titleEdit_->setObjectName(QStringLiteral("Edit2"));
    titleEdit_->setFont(editorFont);
    label1->setBuddy(titleEdit_);
    panel4Layout->addWidget(label1);
    panel4Layout->addWidget(titleEdit_, 1);
    group1Layout->addWidget(panel4);

    publicTabs_ = new QTabWidget(publicPane_);
    publicTabs_->setObjectName(QStringLiteral("PageControl2"));
    auto* tabSheet1 = new QWidget;
    tabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tab1Layout = new QVBoxLayout(tabSheet1);
    tab1Layout->setContentsMargins(0, 0, 0, 0);
    publicEdit_ = new QPlainTextEdit(tabSheet1);
    publicEdit_->setObjectName(QStringLiteral("Memo1"));
    publicEdit_->setFont(editorFont);
    publicEdit_->setTabChangesFocus(true);
    publicEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tab1Layout->addWidget(publicEdit_);
    publicTabs_->addTab(tabSheet1, QStringLiteral("SOURCE (入力)"));
    auto* tabSheet2 = new QWidget;
    tabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* tab2Layout = new QVBoxLayout(tabSheet2);
    tab2Layout->setContentsMargins(0, 0, 0, 0);
    preview_ = new QWebEngineView(tabSheet2);
    preview_->setObjectName(QStringLiteral("WebBrowser1"));
    tab2Layout->addWidget(preview_);
    publicTabs_->addTab(tabSheet2, QStringLiteral("HTML view"));
    group1Layout->addWidget(publicTabs_, 1);
    connect(publicTabs_, &QTabWidget::currentChanged, this, &TSDIAppForm::onPublicTabChanged);

    privatePane_ = new QGroupBox(QStringLiteral("PRIVATE"));
    privatePane_->setObjectName(QStringLiteral("GroupBox2"));
    privatePane_->setMinimumHeight(kMinimumPaneHeight);
    auto* group2Layout = new QVBoxLayout(privatePane_);
    group2Layout->setContentsMargins(4, 4, 4, 4);
    privateEdit_ = new QPlainTextEdit(privatePane_);
    privateEdit_->setObjectName(QStringLiteral("Memo2"));
    privateEdit_->setFont(editorFont);
    privateEdit_->setTabChangesFocus(true);
    privateEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    group2Layout->addWidget(privateEdit_);

    paneSplitter_ = new QSplitter(Qt::Vertical, panel1);
    paneSplitter_->setObjectName(QStringLiteral("Splitter1"));
    paneSplitter_->setHandleWidth(6);
    paneSplitter_->setChildrenCollapsible(false);
    paneSplitter_->addWidget(publicPane_);
    paneSplitter_->addWidget(privatePane_);
    // The public pane takes the remaining height; the private pane keeps its own.
    paneSplitter_->setStretchFactor(0, 1);
    paneSplitter_->setStretchFactor(1, 0);
    panel1Layout->addWidget(paneSplitter_, 1);
    setCentralWidget(panel1);

    QWidget::setTabOrder(titleEdit_, publicEdit_);
    QWidget::setTabOrder(publicEdit_, privateEdit_);
    for (QObject* editor : {static_cast<QObject*>(titleEdit_), static_cast<QObject*>(publicEdit_),
                            static_cast<QObject*>(privateEdit_)})
        editor->installEventFilter(this);
    // Files dropped anywhere on the window, the editors included, are taken as images.
    setAcceptDrops(true);
    for (QObject* target : {static_cast<QObject*>(publicEdit_->viewport()),
                            static_cast<QObject*>(privateEdit_->viewport())})
        target->installEventFilter(this);

    QStatusBar* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar"));
    const int widths[3] = {150, 200, 250};
    for (int i = 0; i < 3; ++i) {
        statusPanels_[i] = new StatusPanel(widths[i], statusBar);
        statusPanels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        statusBar->addWidget(statusPanels_[i]);
    }
    setStatusBar(statusBar);
}

DayEditor::Texts TSDIAppForm::texts() const {
    return {titleEdit_->text(), MemoText(publicEdit_), MemoText(privateEdit_)};
}

bool TSDIAppForm::isModified() const {
    return titleEdit_->isModified() || publicEdit_->document()->isModified() ||
           privateEdit_->document()->isModified();
}

void TSDIAppForm::clearModified() {
    titleEdit_->setModified(false);
    publicEdit_->document()->setModified(false);
    privateEdit_->document()->setModified(false);
}

void TSDIAppForm::setEditorsReadOnly(bool readOnly) {
    titleEdit_->setReadOnly(readOnly);
    publicEdit_->setReadOnly(readOnly);
    privateEdit_->setReadOnly(readOnly);
}

void TSDIAppForm::showDay(const QDate& date, DayEditor::Shown shown,
                          const DayEditor::Texts& texts) {
    const QScopedValueRollback<bool> loading(loading_, true);
    const QString caption = DayCaption(date);
    setEditorsReadOnly(shown == DayEditor::Shown::Unreadable || diary_.isReadOnly());
    titleEdit_->setText(texts.title);
    publicEdit_->setPlainText(texts.publicText);
    privateEdit_->setPlainText(texts.privateText);
    switch (shown) {
        case DayEditor::Shown::Entry:
            statusPanels_[1]->setText(caption + QStringLiteral("の日記"));
            statusPanels_[2]->setText(QStringLiteral("%1文字").arg(
                CharacterCount(texts.title, texts.publicText, texts.privateText)));
            break;
        case DayEditor::Shown::NoEntry:
            statusPanels_[1]->setText(QStringLiteral("日記なし…") + caption);
            statusPanels_[2]->setText(QStringLiteral("0 文字"));
            break;
        case DayEditor::Shown::Unreadable:
            statusPanels_[1]->setText(QStringLiteral("読込エラー…") + caption);
            statusPanels_[2]->setText(QStringLiteral("0 文字"));
            break;
    }
    clearModified();
    refreshPreviewIfShown();
}

void TSDIAppForm::onEntriesChanged(const QStringList& fileNames) {
    // Another writer's version of the shown day: shown at once unless the user is editing
    // it, in which case its next save asks.
    if (fileNames.contains(dayEditor_.fileName()))
        dayEditor_.reloadIfChangedOnDisk();
}

void TSDIAppForm::checkForOtherWriters() {
    diary_.checkForChanges();
    dayEditor_.reloadIfChangedOnDisk();
}

void TSDIAppForm::showMerged(const DayEditor::Texts& texts) {
    // Set as typing would set them: the day counts as edited, and the recovery file follows.
    titleEdit_->setText(texts.title);
    titleEdit_->setModified(true);
    publicEdit_->setPlainText(texts.publicText);
    publicEdit_->document()->setModified(true);
    privateEdit_->setPlainText(texts.privateText);
    privateEdit_->document()->setModified(true);
}

void TSDIAppForm::textsEdited() {
    if (!loading_ && !dayEditor_.isReadOnly())
        recovery_->edited(dayEditor_.fileName());
}

void TSDIAppForm::setRecoveryDelays(int idleMs, int longestMs) {
    recovery_->setDelays(idleMs, longestMs);
}

void TSDIAppForm::offerRecoveries(const QString& onlyFile) {
    tavo::RecoveryScan scan = tavo::ScanRecoveries(store(), FallbackRecoveryRoot());
    if (!onlyFile.isEmpty()) {
        // The day just opened: its unreadable file was reported at start.
        scan.unreadable.clear();
        std::erase_if(scan.pending, [&](const tavo::PendingRecovery& day) {
            return day.fileName != onlyFile.toStdString();
        });
    }
    if (!scan.unreadable.empty()) {
        QStringList errors;
        for (const std::string& error : scan.unreadable)
            errors << QString::fromStdString(error);
        MessageBox::error(this, QStringLiteral("読めない復元用ファイルがあります。"
                                               "ファイルはそのまま残します。\n") +
                                    errors.join(QLatin1Char('\n')));
    }
    if (scan.pending.empty())
        return;
    TRecoveryDlg dialog(store(), scan.pending, this);
    dialog.exec();
    if (dialog.restored().contains(dayEditor_.fileName()) && !isEntryModified())
        reloadShownDay();
}

void TSDIAppForm::reportOnce(const QString& text, const QString& details, bool* reported) {
    statusPanels_[0]->setText(text);
    if (*reported)
        return;
    *reported = true;
    MessageBox::message(this, text + details);
}

void TSDIAppForm::reportCharacterReferences() {
    reportOnce(QStringLiteral(
                   "Shift_JIS (CP932) で表せない文字を &#番号; の形 (数値文字参照) で保存しました"),
               QStringLiteral("。\nHTML では元の文字として表示されます。"), &charRefsReported_);
}

bool TSDIAppForm::onPickerDateChanged() {
    if (!dayEditor_.changeDay(datePicker_->date())) {
        // The editors still hold the day that could not be saved; show its date again.
        const QSignalBlocker blocker(datePicker_);
        datePicker_->setDate(dayEditor_.date());
        return false;
    }
    // Texts an earlier run could not save, which the user kept for later: asked again
    // before typing here would replace them.
    const QString day = dayEditor_.fileName();
    std::error_code ec;
    if (!recovery_->wroteThisRun(day) &&
        (std::filesystem::exists(tavo::RecoveryPath(paths().programFolder, day.toStdString()),
                                 ec) ||
         std::filesystem::exists(
             tavo::FallbackRecoveryPath(FallbackRecoveryRoot(), paths().programFolder,
                                        day.toStdString()),
             ec))) {
        QTimer::singleShot(0, this, [this, day] {
            if (dayEditor_.fileName() == day && !isEntryModified())
                offerRecoveries(day);
        });
    }
    return true;
}

bool TSDIAppForm::goToDate(const QDate& date) {
    if (!date.isValid() || date < datePicker_->minimumDate() || date > datePicker_->maximumDate())
        return false;
    {
        const QSignalBlocker blocker(datePicker_);
        datePicker_->setDate(date);
    }
    return onPickerDateChanged();
}

void TSDIAppForm::onPreviousEntry() {
    jumpToEntry(false);
}

void TSDIAppForm::onNextEntry() {
    jumpToEntry(true);
}

void TSDIAppForm::jumpToEntry(bool later) {
    // The index is read afresh, so a day saved by the move before is found.
    std::vector<std::string> index;
    std::string error;
    if (!store().ReadIndex(&index, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (const auto damaged = tavo::FindDamagedIndexLine(index); damaged && !diary_.isReadOnly()) {
        // Quoted short: a line may be megabytes long.
        MessageBox::error(this, QStringLiteral("\"%1\" に日記の名前ではない行があります: %2\n"
                                               "data フォルダから索引を作り直します。")
                                    .arg(FromPath(paths().indexFile),
                                         QString::fromStdString(tavo::QuoteBounded(*damaged))));
        if (!store().RebuildIndex(&error) || !store().ReadIndex(&index, &error)) {
            MessageBox::error(this, QString::fromStdString(error));
            return;
        }
    }
    const std::string key = tavo::EntryName(dayEditor_.fileName().toStdString());
    const auto target =
        later ? tavo::NextEntryName(index, key) : tavo::PreviousEntryName(index, key);
    if (!target) {
        MessageBox::message(this, later ? QStringLiteral("これ以上新しい記録はありません")
                                        : QStringLiteral("これ以上古い記録はありません"));
        return;
    }
    const auto date = tavo::ParseEntryName(*target, &error);
    if (!date) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    goToDate(ToQDate(*date));
}

void TSDIAppForm::onToggleToolBar() {
    // The action's check mark has already been inverted by the click.
    toolBar_->setVisible(toolBarAction_->isChecked());
}

void TSDIAppForm::onTogglePrivatePane() {
    // The action's check mark has already been inverted by the click.
    if (!privatePaneAction_->isChecked())
        privatePaneHeight_ = privatePaneHeight();
    privatePane_->setVisible(privatePaneAction_->isChecked());
}

void TSDIAppForm::onPublicTabChanged(int index) {
    if (index == 1)
        refreshPreview();
}

void TSDIAppForm::refreshPreviewIfShown() {
    // A hidden preview is built when its tab is chosen; the web engine is not started
    // for users who never look at it.
    if (publicTabs_->currentIndex() == 1)
        refreshPreview();
}

void TSDIAppForm::refreshPreview() {
    // The page (and with it the web engine) is made when the preview is first shown, so
    // that start-up does not wait for it.
    if (!qobject_cast<PreviewPage*>(preview_->page()))
        preview_->setPage(new PreviewPage(preview_));
    // The page is built from the editor as it is now; typing does not update it.
    QString folder = FromPath(paths().programFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    preview_->setHtml(BuildPreviewPage(publicEdit_->toPlainText(), folder),
                      QUrl::fromLocalFile(folder));
}

void TSDIAppForm::onInsertColor() {
    const std::optional<QColor> color = ColorPicker::choose(this, lastTextColor_);
    if (!color)
        return;
    lastTextColor_ = *color;
    WrapSelection(publicEdit_,
                  QStringLiteral("<font color=\"") + ColorToHtml(*color) + QStringLiteral("\">"),
                  QStringLiteral("</font>"));
}

void TSDIAppForm::buildUserDefMenu() {
    std::error_code ec;
    if (!std::filesystem::exists(paths().userDefFile, ec)) {
        userDefMenu_->setTitle(QStringLiteral("ユーザー定義文字列（なし）(&U)"));
        userDefMenu_->setEnabled(false);
        return;
    }
    std::vector<std::string> lines;
    std::string error;
    if (!tavo::ReadLines(paths().userDefFile, &lines, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    const size_t count = UserDefEntryCount(lines);
    for (size_t k = 0; k < count; ++k) {
        QAction* item = userDefMenu_->addAction(FromCp932(lines[3 * k]));
        item->setObjectName(QStringLiteral("UserDef%1").arg(k + 1));
        if (k < 10) {
            item->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg((k + 1) % 10)));
            QWidget::addAction(item);  // the keys work without opening the menu
        }
        connect(item, &QAction::triggered, this, [this, k] { insertUserDefText(k); });
    }
}

void TSDIAppForm::insertUserDefText(size_t entry) {
    // The file is read again at each use, so edits to it count at once.
    std::vector<std::string> lines;
    std::string error;
    if (!tavo::ReadLines(paths().userDefFile, &lines, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    const UserDefPair pair = UserDefTexts(lines, entry);
    WrapSelection(publicEdit_, FromCp932(pair.before), FromCp932(pair.after));
}

void TSDIAppForm::editCommand(const char* slot) {
    QWidget* focused = QApplication::focusWidget();
    if (focused == titleEdit_ || focused == publicEdit_ || focused == privateEdit_)
        QMetaObject::invokeMethod(focused, slot);
}

void TSDIAppForm::openAfterSave(QWidget* window, const QString& caption) {
    // The window reads entry files: it must find the shown day as it is now.
    if (!saveIfModified())
        return;
    showWindow(window, caption);
}

void TSDIAppForm::showWindow(QWidget* window, const QString& caption) {
    if (!window) {
        notYetAvailable(caption);
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void TSDIAppForm::execDialog(QDialog* dialog, const QString& caption) {
    if (!dialog) {
        notYetAvailable(caption);
        return;
    }
    dialog->exec();
}

void TSDIAppForm::notYetAvailable(const QString& caption) {
    MessageBox::message(this, QStringLiteral("「%1」はまだ使えません。").arg(caption));
}

void TSDIAppForm::applyPaneHeights() {
    const int total = paneSplitter_->height() - paneSplitter_->handleWidth();
    const int privateHeight = std::min(privatePaneHeight_, total - kMinimumPaneHeight);
    paneSplitter_->setSizes({total - privateHeight, privateHeight});
}

void TSDIAppForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!paneHeightsApplied_) {
        paneHeightsApplied_ = true;
        applyPaneHeights();
    }
    // Once the window is there (after the password, when the diary is locked).
    if (!recoveriesOffered_ && !diary_.isReadOnly()) {
        recoveriesOffered_ = true;
        QTimer::singleShot(0, this, [this] {
            offerRecoveries();
            offerConflictCopies();
        });
    }
}

int TSDIAppForm::privatePaneHeight() const {
    // A hidden pane's own height means nothing (it may never have been laid out).
    return privatePane_->isVisibleTo(this) && paneHeightsApplied_ ? privatePane_->height()
                                                                  : privatePaneHeight_;
}

void TSDIAppForm::endWithoutCloseQuery() {
    ending_ = true;
    backUpOncePerDay();
    ProgramEnd::now();
}

void TSDIAppForm::backUpOncePerDay() {
    // A diary folder that is gone (a stick pulled) has nothing left to back up.
    std::error_code ec;
    if (!diary_.backupsOn() || diary_.isReadOnly() ||
        !std::filesystem::is_directory(store().DataFolder(), ec))
        return;
    const std::filesystem::path folder = backupFolder();
    const std::string stamp = tavo::NewSnapshotStamp(folder);
    if (tavo::HasSnapshotOfDay(folder, std::string_view(stamp).substr(0, 8)))
        return;
    std::string error;
    if (!tavo::CreateSnapshot(paths().programFolder, folder, stamp, nullptr, &error) ||
        !tavo::RotateSnapshots(folder, tavo::kSnapshotsKept, &error))
        MessageBox::error(
            this, QStringLiteral("バックアップを作成できませんでした。日記は保存されています。\n") +
                      QString::fromStdString(error));
}

void TSDIAppForm::reloadShownDay() {
    recovery_->dayDone(dayEditor_.fileName());
    dayEditor_.show(dayEditor_.date());
}

void TSDIAppForm::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    if (diary_.isReadOnly()) {  // nothing to save or write
        event->accept();
        hideOtherWindows();
        return;
    }
    if (!saveIfModified()) {
        if (!MessageBox::warningOkCancel(
                this, QStringLiteral("日記を保存できませんでした。保存せずに終了しますか？"))) {
            event->ignore();
            return;
        }
        // The save flushed the texts to their recovery file first: say where they are.
        if (const auto keptAt = recovery_->keptAt(dayEditor_.fileName()))
            MessageBox::message(
                this, QStringLiteral("入力した文章は %1 に残してあります").arg(FromPath(*keptAt)));
    }
    writeSettings();
    backUpOncePerDay();
    event->accept();
    hideOtherWindows();
}

void TSDIAppForm::hideOtherWindows() {
    // Closing the main window ends the program: the windows opened from it go too, or
    // the program would go on running behind a search or output window.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isWindow())
            child->hide();
}

bool TSDIAppForm::event(QEvent* event) {
    // Hints go to the first status panel; the status bar's own message line would cover
    // the day caption and the character count.
    if (event->type() == QEvent::StatusTip) {
        statusPanels_[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    // Watchers miss changes on some file systems (network shares, some sync folders):
    // coming back to the window looks again.
    if (event->type() == QEvent::WindowActivate)
        QTimer::singleShot(0, this, [this] { checkForOtherWriters(); });
    return QMainWindow::event(event);
}

bool TSDIAppForm::eventFilter(QObject* watched, QEvent* event) {
    if (filterDrop(event))
        return true;
    // where they would otherwise move the cursor by words.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TSDIAppForm::setReadOnlyDiary() {
    setWindowTitle(windowTitle() + QStringLiteral("（読み取り専用）"));
    for (const char* name : {"D1", "N3", "M2", "HTMLO1", "HTMLS1", "P2", "R1"})
        if (auto* action = findChild<QAction*>(QString::fromLatin1(name)))
            action->setEnabled(false);
    setAcceptDrops(false);
}
