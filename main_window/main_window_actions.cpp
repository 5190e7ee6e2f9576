// The main window's commands: the tables of its menu items and tool buttons, and the
// menus and tool bar made from them.
#include <QAction>
#include <QDateEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>
#include <functional>

#include "common/ui_text.h"
#include "core/date.h"
#include "main_window/sdimain.h"
#include "tools/insertion.h"
#include "uikit/desktop.h"
#include "uikit/message_box.h"

namespace {

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

// The window `make` makes on first use, or none where the program has none to give.
template <typename Window>
Window* Made(const std::function<Window*()>& make) {
    return make ? make() : nullptr;
}

}  // namespace

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
    connect(beforediary, &QAction::triggered, this, &TSDIAppForm::onPreviousEntry);
    QAction* nextdiary =
        addAction("nextdiary", QStringLiteral("次の日記"), QStringLiteral("次の日記へ移動"),
                  QKeySequence(Qt::CTRL | Qt::Key_Right));
    nextdiary->setIcon(TextIcon(QStringLiteral("▶")));
    connect(nextdiary, &QAction::triggered, this, &TSDIAppForm::onNextEntry);

    QList<QAction*> stepActions;
    for (const Step& step : steps) {
        QAction* action =
            addAction(step.name, QString::fromUtf8(step.caption), QString::fromUtf8(step.hint));
        action->setIcon(TextIcon(QString::fromUtf8(step.icon)));
        connect(action, &QAction::triggered, this,
                [this, move = step.move] { goToDate(move(datePicker_->date())); });
        stepActions << action;
    }

    QAction* F1 = addAction("F1", QStringLiteral("日記の検索(&F)"), QStringLiteral("日記を検索"));
    F1->setIcon(TextIcon(QStringLiteral("検")));
    connect(F1, &QAction::triggered, this,
            [this] { openAfterSave(Made(windows_.findForm), QStringLiteral("日記の検索")); });
    QAction* D1 = addAction("D1", QStringLiteral("日記の削除(&D)"),
                            QStringLiteral("表示している日の日記を削除"));
    connect(D1, &QAction::triggered, this, [this] { dayEditor_.deleteShownDay(); });
    QAction* N3 = addAction("N3", QStringLiteral("鍵終了"), QStringLiteral("鍵をかけて終了"),
                            QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_K));
    N3->setIcon(TextIcon(QStringLiteral("鍵")));
    connect(N3, &QAction::triggered, this,
            [this] { execDialog(Made(windows_.passwordDlg), QStringLiteral("鍵終了")); });
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

    toolBarAction_ = addAction("T2", QStringLiteral("ツールバー(&T)"),
                               QStringLiteral("ツールバーの表示切り替え"));
    toolBarAction_->setCheckable(true);
    toolBarAction_->setChecked(true);
    connect(toolBarAction_, &QAction::triggered, this, &TSDIAppForm::onToggleToolBar);
    privatePaneAction_ =
        addAction("P1", QStringLiteral("PRIVATE(&P)"), QStringLiteral("PRIVATE の表示切り替え"));
    privatePaneAction_->setCheckable(true);
    privatePaneAction_->setChecked(true);
    connect(privatePaneAction_, &QAction::triggered, this, &TSDIAppForm::onTogglePrivatePane);

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
                    WrapSelection(publicEdit_, opening, closing);
                });
        tagActions << action;
    }
    QAction* N15 = addAction("N15", QStringLiteral("リンク"), QStringLiteral("リンク"),
                             QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(N15, &QAction::triggered, this, [this] { InsertLink(publicEdit_); });
    QAction* N16 = addAction("N16", QStringLiteral("イメージ"), QStringLiteral("イメージ"),
                             QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(N16, &QAction::triggered, this, [this] { InsertEmptyImage(publicEdit_); });
    QAction* N18 = addAction("N18", QStringLiteral("カラー"), QStringLiteral("カラー"),
                             QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(N18, &QAction::triggered, this, &TSDIAppForm::onInsertColor);
    tagActions << N15 << N16 << N18;

    userDefMenu_ = new QMenu(QStringLiteral("ユーザー定義文字列挿入(&U)"), this);
    userDefMenu_->setObjectName(QStringLiteral("N19"));
    userDefMenu_->menuAction()->setObjectName(QStringLiteral("N19"));
    QAction* M2 = addAction("M2", QStringLiteral("文字列登録(&M)"), QStringLiteral("文字列登録"));
    connect(M2, &QAction::triggered, this,
            [this] { MessageBox::message(this, QStringLiteral("開発中")); });
    QAction* HTMLO1 =
        addAction("HTMLO1", QStringLiteral("HTML出力(&O)"), QStringLiteral("日記をHTMLに出力"));
    HTMLO1->setIcon(TextIcon(QStringLiteral("出")));
    connect(HTMLO1, &QAction::triggered, this,
            [this] { openAfterSave(Made(windows_.htmlOutForm), QStringLiteral("HTML出力")); });
    QAction* HTMLS1 = addAction("HTMLS1", QStringLiteral("HTML設定(&S)"),
                                QStringLiteral("HTML出力のスタイル設定"));
    HTMLS1->setIcon(TextIcon(QStringLiteral("設")));
    connect(HTMLS1, &QAction::triggered, this,
            [this] { showWindow(Made(windows_.styleSelectForm), QStringLiteral("HTML設定")); });

    QAction* P2 = addAction("P2", QStringLiteral("環境設定(&P)"), QStringLiteral("環境設定"));
    connect(P2, &QAction::triggered, this,
            [this] { showWindow(Made(windows_.setForm), QStringLiteral("環境設定")); });
    QAction* R1 = addAction("R1", QStringLiteral("バックアップから復元…"),
                            QStringLiteral("バックアップから日記を復元"));
    connect(R1, &QAction::triggered, this, [this] {
        showWindow(Made(windows_.restoreForm), QStringLiteral("バックアップから復元"));
    });
    QAction* S1 = addAction("S1", QStringLiteral("予定(&S)"), QStringLiteral("1週間の予定を表示"));
    connect(S1, &QAction::triggered, this,
            [this] { openAfterSave(Made(windows_.scheduleForm), QStringLiteral("予定")); });

    QAction* Help2 =
        addAction("Help2", QStringLiteral("ヘルプ(&H)"), QStringLiteral("ヘルプを表示"));
    connect(Help2, &QAction::triggered, this,
            [this] { showWindow(Made(windows_.helpForm), QStringLiteral("ヘルプ")); });
    QAction* HelpAbout1 = addAction("HelpAbout1", QStringLiteral("バージョン情報(&A)..."),
                                    QStringLiteral("バージョンなど固有の情報を表示"));
    HelpAbout1->setToolTip(QStringLiteral("バージョン情報"));
    connect(HelpAbout1, &QAction::triggered, this,
            [this] { execDialog(Made(windows_.aboutBox), QStringLiteral("バージョン情報")); });
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
    Find1->addAction(toolBarAction_);
    Find1->addAction(privatePaneAction_);

    QMenu* HTMLW1 = menu(nullptr, "HTMLW1", QStringLiteral("HTML(&W)"));
    HTMLW1->menuAction()->setStatusTip(QStringLiteral("HTMLに関連するもの"));
    QMenu* T1 = menu(HTMLW1, "T1", QStringLiteral("タグ(&T)"));
    T1->addActions(tagActions);
    HTMLW1->addSeparator();
    HTMLW1->addMenu(userDefMenu_);
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

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("ToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(22, 22));
    toolBar_->toggleViewAction()->setVisible(false);
    toolBar_->addAction(beforediary);
    toolBar_->addAction(nextdiary);
    toolBar_->addSeparator();
    toolBar_->addActions(stepActions);
    toolBar_->addSeparator();
    toolBar_->addAction(HTMLO1);
    toolBar_->addAction(HTMLS1);
    toolBar_->addSeparator();
    toolBar_->addAction(F1);
    toolBar_->addAction(N3);
    addToolBar(Qt::TopToolBarArea, toolBar_);
    setContextMenuPolicy(Qt::NoContextMenu);  // no menu to hide the tool bar behind the user's back
}
