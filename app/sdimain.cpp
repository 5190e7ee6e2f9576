#include "sdimain.h"

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

#include "core/cp932.h"
#include "core/date.h"
#include "core/navigation.h"
#include "core/recovery.h"
#include "core/text_file.h"
#include "core/user_settings.h"
#include "date_picker.h"
#include "desktop.h"
#include "editor_font.h"
#include "input_method.h"
#include "message_box.h"
#include "publish/style.h"
#include "recovery_dialog.h"
#include "recovery_writer.h"
#include "tools/backup.h"
#include "tools/imginput.h"
#include "tools/insertion.h"
#include "tools/preview.h"
#include "ui_text.h"

namespace {

constexpr int kDefaultWidth = 438;
constexpr int kDefaultHeight = 540;
constexpr int kMinimumPaneHeight = 100;

// Tool bar pictures: a short label on a plain square tells the commands apart.
QIcon TextIcon(const QString& label) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x40, 0x60, 0x90));
    painter.setBrush(QColor(0xE8, 0xF0, 0xFA));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 5, 5);
    QFont font = painter.font();
    font.setPixelSize(label.size() > 1 ? 13 : 18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x30, 0x50));
    painter.drawText(QRect(0, 0, 32, 32), Qt::AlignCenter, label);
    return QIcon(pixmap);
}

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
        MessageBox::error(parent,
                          QStringLiteral("\"%1\" の次の行を読めなかったため、既定値を使います:\n%2")
                              .arg(FromPath(file), QString::fromStdString(problems)));
    return true;
}

QString FileNameFor(const QDate& date) {
    return QString::fromStdString(tavo::EntryFileName(ToDate(date)));
}

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

ProgramPaths ProgramPaths::In(const std::filesystem::path& programFolder) {
    return {programFolder,
            programFolder / "tavo.ini",
            programFolder / "User.ini",
            programFolder / "FTP.ini",
            programFolder / "ftp-trust.ini",
            programFolder / "data.index",
            programFolder / "userdef.ini"};
}

TSDIAppForm::TSDIAppForm(const std::filesystem::path& programFolder, QWidget* parent)
    : QMainWindow(parent), paths_(ProgramPaths::In(programFolder)), store_(programFolder) {
    setObjectName(QStringLiteral("SDIAppForm"));
    recovery_ = new RecoveryWriter(
        programFolder,
        [this]() -> std::optional<tavo::Entry> {
            if (!isEntryModified())
                return std::nullopt;
            return editorEntry();
        },
        [this](const QString& error) {
            MessageBox::error(
                this, QStringLiteral("復元用ファイルを書き込めません。編集はこのまま"
                                     "続けられますが、保存するまで異常終了に備えられません。\n") +
                          error);
        },
        this);
    FormCreate();
}

TSDIAppForm::~TSDIAppForm() = default;

void TSDIAppForm::FormCreate() {
    setWindowTitle(QStringLiteral("Tavo"));
    move(279, 133);
    createWidgets();
    createActions();
    // The designed first window shows the whole tool bar and menu at the desktop's font;
    // a stored size replaces it.
    const int barsWidth = std::max(ToolBar1->sizeHint().width(), menuBar()->sizeHint().width());
    resize(std::max(kDefaultWidth, barsWidth), kDefaultHeight);
    connect(Edit2, &QLineEdit::textChanged, this, &TSDIAppForm::textsEdited);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TSDIAppForm::textsEdited);
    connect(Memo2, &QPlainTextEdit::textChanged, this, &TSDIAppForm::textsEdited);

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
    createFolder(store_.DataFolder());
    // Only a new style folder gets the default style; an emptied one stays empty.
    if (createFolder(tavo::StyleFolder(paths_.programFolder))) {
        std::string error;
        if (!tavo::WriteDefaultStyle(paths_.programFolder, &error))
            MessageBox::error(this, QString::fromStdString(error));
    }
    // The responsive style reaches every diary, also one made by an older version, but a
    // style of that name that is already there is the user's. A style folder that could not
    // be made was reported just now.
    if (std::filesystem::is_directory(tavo::StyleFolder(paths_.programFolder), ec)) {
        std::string error;
        if (!tavo::WriteModernStyleIfMissing(paths_.programFolder, &error))
            MessageBox::error(this, QString::fromStdString(error));
    }

    if (std::filesystem::exists(paths_.settingsFile, ec))
        applySettingsFile();
    if (std::filesystem::exists(paths_.userSettingsFile, ec))
        applyUserSettings();

    const QDate today = ToQDate(tavo::Today());
    {
        const QSignalBlocker blocker(DateTimePicker1);
        DateTimePicker1->setDate(today);
    }
    currentFileName_ = FileNameFor(today);
    loadedDate_ = today;
    LoadEntry(currentFileName_);

    if (!std::filesystem::exists(paths_.indexFile, ec)) {
        std::string error;
        if (!store_.RebuildIndex(&error))
            MessageBox::error(this, QString::fromStdString(error));
    }
    buildUserDefMenu();
    Edit2->setFocus();
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
    DateTimePicker1 = MakeDatePicker(panel3, "DateTimePicker1", EntryDaysFromIndex(&store_));
    DateTimePicker1->setKeyboardTracking(false);
    DateTimePicker1->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    connect(DateTimePicker1, &QDateEdit::dateChanged, this, [this] { DTP_Change(); });
    panel3Layout->addWidget(DateTimePicker1);
    panel3Layout->addStretch(1);
    panel1Layout->addWidget(panel3);

    const QFont editorFont = DesignEditorFont();

    GroupBox1 = new QGroupBox(QStringLiteral("PUBLIC"));
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setMinimumHeight(kMinimumPaneHeight);
    auto* group1Layout = new QVBoxLayout(GroupBox1);
    group1Layout->setContentsMargins(4, 4, 4, 4);
    auto* panel4 = new QWidget(GroupBox1);
    panel4->setObjectName(QStringLiteral("Panel4"));
    auto* panel4Layout = new QHBoxLayout(panel4);
    panel4Layout->setContentsMargins(0, 0, 0, 0);
    auto* label1 = new QLabel(QStringLiteral("題名"), panel4);
    label1->setObjectName(QStringLiteral("Label1"));
    Edit2 = new QLineEdit(panel4);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setFont(editorFont);
    label1->setBuddy(Edit2);
    panel4Layout->addWidget(label1);
    panel4Layout->addWidget(Edit2, 1);
    group1Layout->addWidget(panel4);

    PageControl2 = new QTabWidget(GroupBox1);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    auto* tabSheet1 = new QWidget;
    tabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    auto* tab1Layout = new QVBoxLayout(tabSheet1);
    tab1Layout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(tabSheet1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setFont(editorFont);
    Memo1->setTabChangesFocus(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    tab1Layout->addWidget(Memo1);
    PageControl2->addTab(tabSheet1, QStringLiteral("SOURCE (入力)"));
    auto* tabSheet2 = new QWidget;
    tabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    auto* tab2Layout = new QVBoxLayout(tabSheet2);
    tab2Layout->setContentsMargins(0, 0, 0, 0);
    WebBrowser1 = new QWebEngineView(tabSheet2);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    tab2Layout->addWidget(WebBrowser1);
    PageControl2->addTab(tabSheet2, QStringLiteral("HTML view"));
    group1Layout->addWidget(PageControl2, 1);
    connect(PageControl2, &QTabWidget::currentChanged, this, &TSDIAppForm::PageControl2Change);

    GroupBox2 = new QGroupBox(QStringLiteral("PRIVATE"));
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setMinimumHeight(kMinimumPaneHeight);
    auto* group2Layout = new QVBoxLayout(GroupBox2);
    group2Layout->setContentsMargins(4, 4, 4, 4);
    Memo2 = new QPlainTextEdit(GroupBox2);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Memo2->setFont(editorFont);
    Memo2->setTabChangesFocus(true);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    group2Layout->addWidget(Memo2);

    Splitter1 = new QSplitter(Qt::Vertical, panel1);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(6);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(GroupBox1);
    Splitter1->addWidget(GroupBox2);
    // The public pane takes the remaining height; the private pane keeps its own.
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    panel1Layout->addWidget(Splitter1, 1);
    setCentralWidget(panel1);

    QWidget::setTabOrder(Edit2, Memo1);
    QWidget::setTabOrder(Memo1, Memo2);
    for (QObject* editor :
         {static_cast<QObject*>(Edit2), static_cast<QObject*>(Memo1), static_cast<QObject*>(Memo2)})
        editor->installEventFilter(this);
    // Files dropped anywhere on the window, the editors included, are taken as images.
    setAcceptDrops(true);
    for (QObject* target :
         {static_cast<QObject*>(Memo1->viewport()), static_cast<QObject*>(Memo2->viewport())})
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

QAction* TSDIAppForm::addAction(const char* name, const QString& caption, const QString& hint,
                                const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QString::fromLatin1(name));
    action->setStatusTip(hint);
    action->setToolTip(hint);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

void TSDIAppForm::createActions() {
    struct Step {
        const char* name;
        const char* caption;
        const char* hint;
        const char* icon;
        std::function<QDate(const QDate&)> move;
    };
    const Step steps[] = {
        {"before1y", "1年前", "1年前の日記", "-年",
         [](const QDate& d) { return ToQDate(tavo::AddMonths(ToDate(d), -12)); }},
        {"before1m", "1ヶ月前", "1ヶ月前の日記", "-月",
         [](const QDate& d) { return ToQDate(tavo::AddMonths(ToDate(d), -1)); }},
        {"before1w", "1週間前", "1週間前の日記", "-週",
         [](const QDate& d) { return d.addDays(-7); }},
        {"before1d", "1日前", "1日前の日記", "-日", [](const QDate& d) { return d.addDays(-1); }},
        {"mtoday", "今日", "今日の日記", "今", [](const QDate&) { return ToQDate(tavo::Today()); }},
        {"after1d", "1日後", "1日後の日記", "+日", [](const QDate& d) { return d.addDays(1); }},
        {"after1w", "1週間後", "1週間後の日記", "+週", [](const QDate& d) { return d.addDays(7); }},
        {"after1m", "1ヵ月後", "1ヵ月後の日記", "+月",
         [](const QDate& d) { return ToQDate(tavo::AddMonths(ToDate(d), 1)); }},
        {"after1y", "1年後", "1年後の日記", "+年",
         [](const QDate& d) { return ToQDate(tavo::AddMonths(ToDate(d), 12)); }},
    };

    QAction* beforediary =
        addAction("beforediary", QStringLiteral("ひとつ前の日記"),
                  QStringLiteral("ひとつ前の日記へ移動"), QKeySequence(Qt::CTRL | Qt::Key_Left));
    beforediary->setIcon(TextIcon(QStringLiteral("◀")));
    connect(beforediary, &QAction::triggered, this, &TSDIAppForm::beforediaryClick);
    QAction* nextdiary =
        addAction("nextdiary", QStringLiteral("次の日記"), QStringLiteral("次の日記へ移動"),
                  QKeySequence(Qt::CTRL | Qt::Key_Right));
    nextdiary->setIcon(TextIcon(QStringLiteral("▶")));
    connect(nextdiary, &QAction::triggered, this, &TSDIAppForm::nextdiaryClick);

    QList<QAction*> stepActions;
    for (const Step& step : steps) {
        QAction* action =
            addAction(step.name, QString::fromUtf8(step.caption), QString::fromUtf8(step.hint));
        action->setIcon(TextIcon(QString::fromUtf8(step.icon)));
        connect(action, &QAction::triggered, this,
                [this, move = step.move] { goToDate(move(DateTimePicker1->date())); });
        stepActions << action;
    }

    QAction* F1 = addAction("F1", QStringLiteral("日記の検索(&F)"), QStringLiteral("日記を検索"));
    F1->setIcon(TextIcon(QStringLiteral("検")));
    connect(F1, &QAction::triggered, this,
            [this] { openAfterSave(windows_.findForm, QStringLiteral("日記の検索")); });
    QAction* D1 = addAction("D1", QStringLiteral("日記の削除(&D)"),
                            QStringLiteral("表示している日の日記を削除"));
    connect(D1, &QAction::triggered, this, &TSDIAppForm::D1Click);
    QAction* N3 = addAction("N3", QStringLiteral("鍵終了"), QStringLiteral("鍵をかけて終了"),
                            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));
    N3->setIcon(TextIcon(QStringLiteral("鍵")));
    connect(N3, &QAction::triggered, this,
            [this] { execDialog(windows_.passwordDlg, QStringLiteral("鍵終了")); });
    QAction* FileExit1 = addAction("FileExit1", QStringLiteral("終了(&X)"),
                                   QStringLiteral("終了|アプリケーションを終了"),
                                   QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E));
    FileExit1->setStatusTip(QStringLiteral("アプリケーションを終了"));
    FileExit1->setToolTip(QStringLiteral("終了"));
    connect(FileExit1, &QAction::triggered, this, &QWidget::close);

    struct EditCommand {
        const char* name;
        const char* caption;
        const char* hint;
        QKeySequence shortcut;
        const char* slot;
    };
    const EditCommand editCommands[] = {
        {"EditUndo1", "元に戻す(&U)", "直前の操作を元に戻す", QKeySequence(Qt::CTRL | Qt::Key_Z),
         "undo"},
        {"EditCut1", "切り取り(&T)", "選択範囲を切り取る", QKeySequence(Qt::CTRL | Qt::Key_X),
         "cut"},
        {"EditCopy1", "コピー(&C)", "選択範囲をコピー", QKeySequence(Qt::CTRL | Qt::Key_C), "copy"},
        {"EditPaste1", "貼り付け(&P)", "クリップボードの内容を貼り付け",
         QKeySequence(Qt::CTRL | Qt::Key_V), "paste"},
        {"EditSelectAll1", "全てを選択(&A)", "全てを選択", QKeySequence(Qt::CTRL | Qt::Key_A),
         "selectAll"},
    };
    QList<QAction*> editActions;
    for (const EditCommand& command : editCommands) {
        QAction* action = addAction(command.name, QString::fromUtf8(command.caption),
                                    QString::fromUtf8(command.hint), command.shortcut);
        // The editors handle these keys themselves; the menu items serve the mouse.
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this,
                [this, slot = command.slot] { editCommand(slot); });
        editActions << action;
    }

    T2 = addAction("T2", QStringLiteral("ツールバー(&T)"),
                   QStringLiteral("ツールバーの表示切り替え"));
    T2->setCheckable(true);
    T2->setChecked(true);
    connect(T2, &QAction::triggered, this, &TSDIAppForm::T2Click);
    P1 = addAction("P1", QStringLiteral("PRIVATE(&P)"), QStringLiteral("PRIVATE の表示切り替え"));
    P1->setCheckable(true);
    P1->setChecked(true);
    connect(P1, &QAction::triggered, this, &TSDIAppForm::P1Click);

    // Tag commands wrap the selection of the public text.
    struct Tag {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
        const char* opening;
        const char* closing;
    };
    const Tag tags[] = {
        {"B1", "太字", QKeySequence(Qt::CTRL | Qt::Key_B), "<b>", "</b>"},
        {"N11", "斜体", QKeySequence(Qt::CTRL | Qt::Key_I), "<i>", "</i>"},
        {"N12", "下線", QKeySequence(Qt::CTRL | Qt::Key_U), "<u>", "</u>"},
        {"N13", "箇条書き", QKeySequence(Qt::CTRL | Qt::Key_L), "<li>", ""},
        {"N14", "段落", QKeySequence(Qt::CTRL | Qt::Key_Return), "<p>", "</p>"},
        {"H11", "H1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_1), "<h1>", "</h1>"},
        {"H21", "H2", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_2), "<h2>", "</h2>"},
        {"H31", "H3", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_3), "<h3>", "</h3>"},
        {"H41", "H4", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_4), "<h4>", "</h4>"},
        {"H51", "H5", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_5), "<h5>", "</h5>"},
        {"H61", "H6", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_6), "<h6>", "</h6>"},
    };
    QList<QAction*> tagActions;
    for (const Tag& tag : tags) {
        const QString caption = QString::fromUtf8(tag.caption);
        QAction* action = addAction(tag.name, caption, caption, tag.shortcut);
        connect(action, &QAction::triggered, this,
                [this, opening = QString::fromLatin1(tag.opening),
                 closing = QString::fromLatin1(tag.closing)] {
                    WrapSelection(Memo1, opening, closing);
                });
        tagActions << action;
    }
    QAction* N15 = addAction("N15", QStringLiteral("リンク"), QStringLiteral("リンク"),
                             QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(N15, &QAction::triggered, this, [this] { InsertLink(Memo1); });
    QAction* N16 = addAction("N16", QStringLiteral("イメージ"), QStringLiteral("イメージ"),
                             QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(N16, &QAction::triggered, this, [this] { InsertEmptyImage(Memo1); });
    QAction* N18 = addAction("N18", QStringLiteral("カラー"), QStringLiteral("カラー"),
                             QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(N18, &QAction::triggered, this, &TSDIAppForm::N18Click);
    tagActions << N15 << N16 << N18;

    N19 = new QMenu(QStringLiteral("ユーザー定義文字列挿入(&U)"), this);
    N19->setObjectName(QStringLiteral("N19"));
    N19->menuAction()->setObjectName(QStringLiteral("N19"));
    QAction* M2 = addAction("M2", QStringLiteral("文字列登録(&M)"), QStringLiteral("文字列登録"));
    connect(M2, &QAction::triggered, this,
            [this] { MessageBox::message(this, QStringLiteral("開発中")); });
    QAction* HTMLO1 =
        addAction("HTMLO1", QStringLiteral("HTML出力(&O)"), QStringLiteral("日記をHTMLに出力"));
    HTMLO1->setIcon(TextIcon(QStringLiteral("出")));
    connect(HTMLO1, &QAction::triggered, this,
            [this] { openAfterSave(windows_.htmlOutForm, QStringLiteral("HTML出力")); });
    QAction* HTMLS1 = addAction("HTMLS1", QStringLiteral("HTML設定(&S)"),
                                QStringLiteral("HTML出力のスタイル設定"));
    HTMLS1->setIcon(TextIcon(QStringLiteral("設")));
    connect(HTMLS1, &QAction::triggered, this,
            [this] { showWindow(windows_.styleSelectForm, QStringLiteral("HTML設定")); });

    QAction* P2 = addAction("P2", QStringLiteral("環境設定(&P)"), QStringLiteral("環境設定"));
    connect(P2, &QAction::triggered, this,
            [this] { showWindow(windows_.setForm, QStringLiteral("環境設定")); });
    QAction* R1 = addAction("R1", QStringLiteral("バックアップから復元…"),
                            QStringLiteral("バックアップから日記を復元"));
    connect(R1, &QAction::triggered, this,
            [this] { showWindow(windows_.restoreForm, QStringLiteral("バックアップから復元")); });
    QAction* S1 = addAction("S1", QStringLiteral("予定(&S)"), QStringLiteral("1週間の予定を表示"));
    connect(S1, &QAction::triggered, this,
            [this] { openAfterSave(windows_.scheduleForm, QStringLiteral("予定")); });

    QAction* Help2 =
        addAction("Help2", QStringLiteral("ヘルプ(&H)"), QStringLiteral("ヘルプを表示"));
    connect(Help2, &QAction::triggered, this,
            [this] { showWindow(windows_.helpForm, QStringLiteral("ヘルプ")); });
    QAction* HelpAbout1 = addAction("HelpAbout1", QStringLiteral("バージョン情報(&A)..."),
                                    QStringLiteral("バージョンなど固有の情報を表示"));
    HelpAbout1->setToolTip(QStringLiteral("バージョン情報"));
    connect(HelpAbout1, &QAction::triggered, this,
            [this] { execDialog(windows_.aboutBox, QStringLiteral("バージョン情報")); });
    QAction* N8 =
        addAction("N8", QStringLiteral("最新版の入手(&N)"), QStringLiteral("作者HPを開く"));
    connect(N8, &QAction::triggered, this, [] { GOTOHP(); });

    // Menus.
    auto menu = [this](QMenu* parentMenu, const char* name, const QString& title) {
        QMenu* m = parentMenu ? parentMenu->addMenu(title) : menuBar()->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* File1 = menu(nullptr, "File1", QStringLiteral("ファイル(&F)"));
    QMenu* M1 = menu(File1, "M1", QStringLiteral("日記の移動(&M)"));
    M1->addAction(beforediary);
    M1->addAction(nextdiary);
    M1->addSeparator();
    M1->addActions(stepActions.mid(0, 4));
    M1->addSeparator();
    M1->addAction(stepActions[4]);
    M1->addSeparator();
    M1->addActions(stepActions.mid(5));
    File1->addAction(F1);
    File1->addAction(D1);
    File1->addSeparator();
    File1->addAction(N3);
    File1->addAction(FileExit1);
    FileExit1->setObjectName(QStringLiteral("FileExit1"));

    QMenu* Edit1 = menu(nullptr, "Edit1", QStringLiteral("編集(&E)"));
    Edit1->addAction(editActions[0]);
    Edit1->addSeparator();
    Edit1->addActions(editActions.mid(1, 3));
    Edit1->addSeparator();
    Edit1->addAction(editActions[4]);

    QMenu* Find1 = menu(nullptr, "Find1", QStringLiteral("表示(&V)"));
    Find1->addAction(T2);
    Find1->addAction(P1);

    QMenu* HTMLW1 = menu(nullptr, "HTMLW1", QStringLiteral("HTML(&W)"));
    HTMLW1->menuAction()->setStatusTip(QStringLiteral("HTMLに関連するもの"));
    QMenu* T1 = menu(HTMLW1, "T1", QStringLiteral("タグ(&T)"));
    T1->addActions(tagActions);
    HTMLW1->addSeparator();
    HTMLW1->addMenu(N19);
    HTMLW1->addAction(M2);
    HTMLW1->addSeparator();
    HTMLW1->addAction(HTMLO1);
    HTMLW1->addAction(HTMLS1);

    QMenu* Tool1 = menu(nullptr, "Tool1", QStringLiteral("ツール(&T)"));
    Tool1->addAction(P2);
    Tool1->addAction(S1);
    Tool1->addSeparator();
    Tool1->addAction(R1);

    QMenu* Help1 = menu(nullptr, "Help1", QStringLiteral("ヘルプ(&H)"));
    Help1->addAction(Help2);
    Help1->addAction(HelpAbout1);
    Help1->addAction(N8);

    // Shortcuts of items inside menus work without opening them.
    for (QAction* action : findChildren<QAction*>())
        if (!action->shortcut().isEmpty() && action->shortcutContext() == Qt::WindowShortcut)
            QWidget::addAction(action);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(22, 22));
    ToolBar1->toggleViewAction()->setVisible(false);
    ToolBar1->addAction(beforediary);
    ToolBar1->addAction(nextdiary);
    ToolBar1->addSeparator();
    ToolBar1->addActions(stepActions);
    ToolBar1->addSeparator();
    ToolBar1->addAction(HTMLO1);
    ToolBar1->addAction(HTMLS1);
    ToolBar1->addSeparator();
    ToolBar1->addAction(F1);
    ToolBar1->addAction(N3);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    setContextMenuPolicy(Qt::NoContextMenu);  // no menu to hide the tool bar behind the user's back
}

QDate TSDIAppForm::shownDate() const {
    return DateTimePicker1->date();
}

bool TSDIAppForm::isEntryModified() const {
    // The editors are read-only only while the shown day's file could not be read; such a
    // day is never saved: the file stays as it is.
    if (Edit2->isReadOnly())
        return false;
    return Edit2->isModified() || Memo1->document()->isModified() ||
           Memo2->document()->isModified();
}

void TSDIAppForm::clearModified() {
    Edit2->setModified(false);
    Memo1->document()->setModified(false);
    Memo2->document()->setModified(false);
}

void TSDIAppForm::setEditorsReadOnly(bool readOnly) {
    Edit2->setReadOnly(readOnly);
    Memo1->setReadOnly(readOnly);
    Memo2->setReadOnly(readOnly);
}

void TSDIAppForm::LoadEntry(const QString& fileName) {
    const QScopedValueRollback<bool> loading(loading_, true);
    const QString caption = DayCaption(DateTimePicker1->date());
    tavo::Entry entry;
    std::string error;
    const auto status = store_.ReadEntry(fileName.toStdString(), &entry, &error);

    bool invalidBytes = false;
    QString title, publicText, privateText;
    if (status == tavo::EntryStore::ReadStatus::Found) {
        bool invalid[3] = {};
        title = FromCp932(entry.title, &invalid[0]);
        publicText = MemoFromCp932(entry.publicText, &invalid[1]);
        privateText = MemoFromCp932(entry.privateText, &invalid[2]);
        invalidBytes = invalid[0] || invalid[1] || invalid[2];
        if (invalidBytes)
            error = QStringLiteral("日記ファイルに CP932 として読めない文字があります: \"%1\"")
                        .arg(FromPath(store_.EntryPath(fileName.toStdString())))
                        .toStdString();
    }

    if (status == tavo::EntryStore::ReadStatus::Failed || invalidBytes) {
        // The file stays as it is: the day is shown empty and read-only, so that nothing
        // typed here can replace an entry the program could not read.
        Edit2->clear();
        Memo1->clear();
        Memo2->clear();
        setEditorsReadOnly(true);
        statusPanels_[1]->setText(QStringLiteral("読込エラー…") + caption);
        statusPanels_[2]->setText(QStringLiteral("0 文字"));
        clearModified();
        refreshPreviewIfShown();
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }

    setEditorsReadOnly(false);
    if (status == tavo::EntryStore::ReadStatus::Found) {
        statusPanels_[1]->setText(caption + QStringLiteral("の日記"));
        Edit2->setText(title);
        Memo1->setPlainText(publicText);
        Memo2->setPlainText(privateText);
        statusPanels_[2]->setText(
            QStringLiteral("%1文字").arg(CharacterCount(title, publicText, privateText)));
    } else {
        statusPanels_[1]->setText(QStringLiteral("日記なし…") + caption);
        statusPanels_[2]->setText(QStringLiteral("0 文字"));
        Memo1->clear();
        Memo2->clear();
        Edit2->clear();
    }
    clearModified();
    refreshPreviewIfShown();
}

tavo::Entry TSDIAppForm::editorEntry(bool* usedCharacterReferences) const {
    const Cp932Text title = ToCp932(Edit2->text());
    const Cp932Text publicText = MemoToCp932(MemoText(Memo1));
    const Cp932Text privateText = MemoToCp932(MemoText(Memo2));
    if (usedCharacterReferences)
        *usedCharacterReferences = title.usedCharacterReferences ||
                                   publicText.usedCharacterReferences ||
                                   privateText.usedCharacterReferences;
    return {title.bytes, publicText.bytes, privateText.bytes};
}

bool TSDIAppForm::saveEntryTo(const QString& fileName) {
    // Written first, so that a crash between the save and the removal of the recovery file
    // leaves one equal to the entry, never an older text.
    recovery_->flush();
    bool usedCharacterReferences = false;
    const tavo::Entry entry = editorEntry(&usedCharacterReferences);
    std::string error;
    if (!store_.SaveEntry(fileName.toStdString(), entry, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    recovery_->dayDone(fileName);
    if (usedCharacterReferences)
        reportCharacterReferences();
    return true;
}

void TSDIAppForm::textsEdited() {
    if (!loading_ && !Edit2->isReadOnly())
        recovery_->edited(FileNameFor(loadedDate_));
}

void TSDIAppForm::setRecoveryDelays(int idleMs, int longestMs) {
    recovery_->setDelays(idleMs, longestMs);
}

void TSDIAppForm::offerRecoveries(const QString& onlyFile) {
    tavo::RecoveryScan scan = tavo::ScanRecoveries(store_);
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
    TRecoveryDlg dialog(store_, scan.pending, this);
    dialog.exec();
    if (dialog.restored().contains(FileNameFor(loadedDate_)) && !isEntryModified())
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

bool TSDIAppForm::DTP_Change() {
    if (loadedFileName_.isEmpty())
        loadedFileName_ = FileNameFor(loadedDate_);
    if (!isEntryModified())
        recovery_->dayDone(loadedFileName_);  // undone back to the saved texts
    else if (!saveEntryTo(loadedFileName_)) {
        // The editors still hold the day that could not be saved; show its date again.
        const QSignalBlocker blocker(DateTimePicker1);
        DateTimePicker1->setDate(loadedDate_);
        currentFileName_ = loadedFileName_;
        return false;
    }
    const QDate picked = DateTimePicker1->date();
    currentFileName_ = FileNameFor(picked);
    LoadEntry(currentFileName_);
    clearModified();
    loadedFileName_ = currentFileName_;
    loadedDate_ = picked;
    // Texts an earlier run could not save, which the user kept for later: asked again
    // before typing here would replace them.
    std::error_code ec;
    if (!recovery_->wroteThisRun(currentFileName_) &&
        std::filesystem::exists(
            tavo::RecoveryPath(paths_.programFolder, currentFileName_.toStdString()), ec)) {
        QTimer::singleShot(0, this, [this, day = currentFileName_] {
            if (loadedFileName_ == day && !isEntryModified())
                offerRecoveries(day);
        });
    }
    return true;
}

bool TSDIAppForm::goToDate(const QDate& date) {
    if (!date.isValid() || date < DateTimePicker1->minimumDate() ||
        date > DateTimePicker1->maximumDate())
        return false;
    {
        const QSignalBlocker blocker(DateTimePicker1);
        DateTimePicker1->setDate(date);
    }
    return DTP_Change();
}

bool TSDIAppForm::saveIfModified() {
    if (!isEntryModified())
        return true;
    currentFileName_ = FileNameFor(DateTimePicker1->date());
    return saveEntryTo(currentFileName_);
}

void TSDIAppForm::beforediaryClick() {
    jumpToEntry(false);
}

void TSDIAppForm::nextdiaryClick() {
    jumpToEntry(true);
}

void TSDIAppForm::jumpToEntry(bool later) {
    // The index is read afresh, so a day saved by the move before is found.
    std::vector<std::string> index;
    std::string error;
    if (!store_.ReadIndex(&index, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (const auto damaged = tavo::FindDamagedIndexLine(index)) {
        // Quoted short: a line may be megabytes long.
        MessageBox::error(this, QStringLiteral("\"%1\" に日記の名前ではない行があります: %2\n"
                                               "data フォルダから索引を作り直します。")
                                    .arg(FromPath(paths_.indexFile),
                                         QString::fromStdString(tavo::QuoteBounded(*damaged))));
        if (!store_.RebuildIndex(&error) || !store_.ReadIndex(&index, &error)) {
            MessageBox::error(this, QString::fromStdString(error));
            return;
        }
    }
    const std::string key = tavo::EntryName(currentFileName_.toStdString());
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

void TSDIAppForm::D1Click() {
    const QDate date = DateTimePicker1->date();
    currentFileName_ = FileNameFor(date);
    const QString dateText = QString::fromStdString(tavo::FormatSlashed(ToDate(date)));
    std::error_code ec;
    if (!std::filesystem::exists(store_.EntryPath(currentFileName_.toStdString()), ec)) {
        MessageBox::warningYes(this, dateText + QStringLiteral("の日記はありません"));
        return;
    }
    if (!MessageBox::warningOkCancel(this, dateText + QStringLiteral("の日記を削除しますか？")))
        return;
    std::string error;
    if (!store_.DeleteEntry(currentFileName_.toStdString(), &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    recovery_->dayDone(currentFileName_);  // the user discarded the edits with the entry
    LoadEntry(currentFileName_);
}

void TSDIAppForm::T2Click() {
    // The action's check mark has already been inverted by the click.
    ToolBar1->setVisible(T2->isChecked());
}

void TSDIAppForm::P1Click() {
    // The action's check mark has already been inverted by the click.
    if (!P1->isChecked())
        privatePaneHeight_ = privatePaneHeight();
    GroupBox2->setVisible(P1->isChecked());
}

void TSDIAppForm::PageControl2Change(int index) {
    if (index == 1)
        refreshPreview();
}

void TSDIAppForm::refreshPreviewIfShown() {
    // A hidden preview is built when its tab is chosen; the web engine is not started
    // for users who never look at it.
    if (PageControl2->currentIndex() == 1)
        refreshPreview();
}

void TSDIAppForm::refreshPreview() {
    // The page (and with it the web engine) is made when the preview is first shown, so
    // that start-up does not wait for it.
    if (!qobject_cast<PreviewPage*>(WebBrowser1->page()))
        WebBrowser1->setPage(new PreviewPage(WebBrowser1));
    // The page is built from the editor as it is now; typing does not update it.
    QString folder = FromPath(paths_.programFolder);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    WebBrowser1->setHtml(BuildPreviewPage(Memo1->toPlainText(), folder),
                         QUrl::fromLocalFile(folder));
}

void TSDIAppForm::N18Click() {
    const std::optional<QColor> color = ColorPicker::choose(this, lastTextColor_);
    if (!color)
        return;
    lastTextColor_ = *color;
    WrapSelection(Memo1,
                  QStringLiteral("<font color=\"") + ColorToHtml(*color) + QStringLiteral("\">"),
                  QStringLiteral("</font>"));
}

void TSDIAppForm::buildUserDefMenu() {
    std::error_code ec;
    if (!std::filesystem::exists(paths_.userDefFile, ec)) {
        N19->setTitle(QStringLiteral("ユーザー定義文字列（なし）(&U)"));
        N19->setEnabled(false);
        return;
    }
    std::vector<std::string> lines;
    std::string error;
    if (!tavo::ReadLines(paths_.userDefFile, &lines, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    const size_t count = UserDefEntryCount(lines);
    for (size_t k = 0; k < count; ++k) {
        QAction* item = N19->addAction(FromCp932(lines[3 * k]));
        item->setObjectName(QStringLiteral("UserDef%1").arg(k + 1));
        if (k < 10) {
            item->setShortcut(QKeySequence(QStringLiteral("Ctrl+%1").arg((k + 1) % 10)));
            QWidget::addAction(item);  // the keys work without opening the menu
        }
        connect(item, &QAction::triggered, this, [this, k] { UserDefStrInsert(k); });
    }
}

void TSDIAppForm::UserDefStrInsert(size_t entry) {
    // The file is read again at each use, so edits to it count at once.
    std::vector<std::string> lines;
    std::string error;
    if (!tavo::ReadLines(paths_.userDefFile, &lines, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    const UserDefPair pair = UserDefTexts(lines, entry);
    WrapSelection(Memo1, FromCp932(pair.before), FromCp932(pair.after));
}

void TSDIAppForm::editCommand(const char* slot) {
    QWidget* focused = QApplication::focusWidget();
    if (focused == Edit2 || focused == Memo1 || focused == Memo2)
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

void TSDIAppForm::applySettingsFile() {
    tavo::AppSettings settings;
    if (!ReadForStart(this, paths_.settingsFile, tavo::ReadSettingsFile, &settings))
        return;

    ToolBar1->setVisible(settings.toolBarVisible);
    GroupBox2->setVisible(settings.privatePaneVisible);
    if (settings.windowState == 3) {
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        resize(settings.width, settings.height);
        move(OnSomeScreen(QRect(settings.left, settings.top, width(), height())));
    }
    htmlSavePath_ = FromCp932(settings.htmlSavePath);
    storedHtmlSavePath_ = settings.htmlSavePath;
    privatePaneHeight_ = std::max(settings.privatePaneHeight, kMinimumPaneHeight);
    T2->setChecked(settings.toolBarVisible);
    P1->setChecked(settings.privatePaneVisible);
}

void TSDIAppForm::applyUserSettings() {
    tavo::UserSettings settings;
    if (!ReadForStart(this, paths_.userSettingsFile, tavo::ReadUserSettingsFile, &settings))
        return;

    const QString title = FromCp932(settings.diaryTitle);
    if (!title.isEmpty()) {
        const QString caption = title + QStringLiteral(" - Tavo");
        MessageBox::setApplicationTitle(caption);
        setWindowTitle(caption);
    }
    editorFontSize_ = settings.fontSizeIndex + tavo::kFontSizeIndexOffset;
    for (QWidget* editor : {static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Memo1),
                            static_cast<QWidget*>(Memo2)}) {
        editor->setFont(EditorFont(editorFontSize_));
        QPalette palette = editor->palette();
        if (settings.fontColor)
            palette.setColor(QPalette::Text, ColorFromValue(*settings.fontColor));
        if (settings.backColor)
            palette.setColor(QPalette::Base, ColorFromValue(*settings.backColor));
        editor->setPalette(palette);
    }
    if (settings.useInputMethod.value_or(false))
        RequestJapaneseInputOnFocus(Edit2);
    backupFolderSetting_ = settings.backupFolder;
    backupsOn_ = settings.backupsOn;
}

void TSDIAppForm::applyPaneHeights() {
    const int total = Splitter1->height() - Splitter1->handleWidth();
    const int privateHeight = std::min(privatePaneHeight_, total - kMinimumPaneHeight);
    Splitter1->setSizes({total - privateHeight, privateHeight});
}

void TSDIAppForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!paneHeightsApplied_) {
        paneHeightsApplied_ = true;
        applyPaneHeights();
    }
    // Once the window is there (after the password, when the diary is locked).
    if (!recoveriesOffered_) {
        recoveriesOffered_ = true;
        QTimer::singleShot(0, this, [this] { offerRecoveries(); });
    }
}

int TSDIAppForm::privatePaneHeight() const {
    // A hidden pane's own height means nothing (it may never have been laid out).
    return GroupBox2->isVisibleTo(this) && paneHeightsApplied_ ? GroupBox2->height()
                                                               : privatePaneHeight_;
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

bool TSDIAppForm::WriteSettings() {
    tavo::AppSettings settings;
    settings.width = width();
    settings.height = height();
    settings.left = x();
    settings.top = y();
    settings.htmlSavePath = storedHtmlSavePath_;
    settings.publicPaneHeight = GroupBox1->height();
    settings.privatePaneHeight = privatePaneHeight();
    settings.toolBarVisible = T2->isChecked();
    settings.privatePaneVisible = P1->isChecked();
    settings.windowState = isMaximized() ? 3 : (isMinimized() ? 2 : 1);
    std::string error;
    if (!tavo::WriteSettingsFile(paths_.settingsFile, settings, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    return true;
}

void TSDIAppForm::endWithoutCloseQuery() {
    ending_ = true;
    backUpOncePerDay();
    ProgramEnd::now();
}

std::filesystem::path TSDIAppForm::backupFolder() const {
    if (backupFolderSetting_.empty())
        return paths_.programFolder / "backup";
    // A relative name is taken in the program folder, not wherever the program started.
    return paths_.programFolder / ToPath(FromCp932(backupFolderSetting_));
}

void TSDIAppForm::backUpOncePerDay() {
    if (!backupsOn_)
        return;
    const std::filesystem::path folder = backupFolder();
    const std::string stamp = tavo::NewSnapshotStamp(folder);
    if (tavo::HasSnapshotOfDay(folder, std::string_view(stamp).substr(0, 8)))
        return;
    std::string error;
    if (!tavo::CreateSnapshot(paths_.programFolder, folder, stamp, nullptr, &error) ||
        !tavo::RotateSnapshots(folder, tavo::kSnapshotsKept, &error))
        MessageBox::error(
            this, QStringLiteral("バックアップを作成できませんでした。日記は保存されています。\n") +
                      QString::fromStdString(error));
}

void TSDIAppForm::reloadShownDay() {
    recovery_->dayDone(FileNameFor(loadedDate_));
    currentFileName_ = FileNameFor(DateTimePicker1->date());
    LoadEntry(currentFileName_);
}

void TSDIAppForm::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    if (!saveIfModified() &&
        !MessageBox::warningOkCancel(
            this, QStringLiteral("日記を保存できませんでした。保存せずに終了しますか？"))) {
        event->ignore();
        return;
    }
    WriteSettings();
    backUpOncePerDay();
    event->accept();
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
    return QMainWindow::event(event);
}

void TSDIAppForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TSDIAppForm::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    WMDropFiles(event->mimeData()->urls());
}

void TSDIAppForm::WMDropFiles(const QList<QUrl>& urls) {
    raise();
    activateWindow();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return;
    const QString path = urls.first().toLocalFile();
    const std::optional<tavo::ImageSize> size = tavo::ReadImageSize(ToPath(path));
    // The window may not be active yet (the file comes from another program): the editor
    // it gives the focus to decides, as for the HTML menu's insertions.
    if (!size || !TakesInsertion(Memo1) || !windows_.imgForm)
        return;
    if (!windows_.imgForm->showForDrop(path, *size, DateTimePicker1->date(), paths_.programFolder))
        return;
    // The tag goes in front of the selected text, as one step of the editor's undo.
    QTextCursor cursor = Memo1->textCursor();
    cursor.insertText(windows_.imgForm->tag() + cursor.selection().toPlainText());
    Memo1->setTextCursor(cursor);
}

bool TSDIAppForm::eventFilter(QObject* watched, QEvent* event) {
    // The editors would take a dropped file as text; it is an image to insert.
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (drag->mimeData()->hasUrls()) {
            drag->acceptProposedAction();
            return true;
        }
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData()->hasUrls()) {
            drop->acceptProposedAction();
            WMDropFiles(drop->mimeData()->urls());
            return true;
        }
    }
    // Ctrl+Left and Ctrl+Right jump between entries even while an editor has the focus,
    // where they would otherwise move the cursor by words.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_Left || key->key() == Qt::Key_Right))
            return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
