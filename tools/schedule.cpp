#include "schedule.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include "common/ui_text.h"
#include "core/entry_store.h"
#include "uikit/diary_context.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"

namespace {

constexpr int kDaysShown = 7;
constexpr int kWindowWidth = 320;

}  // namespace

QString ScheduleDateText(const QDate& date) {
    return QStringLiteral("%1/%2/%3(%4)")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(JapaneseWeekday(date));
}

bool BuildScheduleWeek(const std::filesystem::path& programFolder, const QDate& start,
                       ScheduleWeek* week, QString* error) {
    *week = ScheduleWeek{};
    week->label = ScheduleDateText(start) + QStringLiteral(" ～ ") +
                  ScheduleDateText(start.addDays(kDaysShown - 1));
    const tavo::EntryStore store(programFolder);
    const QString separator(17, QChar(0x2015));  // ―
    auto appendLine = [week](const QString& line) {
        if (!week->text.isEmpty())
            week->text += QLatin1Char('\n');
        week->text += line;
    };
    for (int i = 0; i < kDaysShown; ++i) {
        const QDate day = start.addDays(i);
        const QString dateText = ScheduleDateText(day);
        appendLine(dateText);

        tavo::Entry entry;
        std::string readError;
        if (store.ReadEntry(tavo::EntryFileName(ToDate(day)), &entry, &readError,
                            tavo::EntryParts::All) == tavo::EntryStore::ReadStatus::Failed) {
            *error = QString::fromStdString(readError);
            return false;
        }
        const std::string& plans = entry.privateText;
        appendLine(plans.empty() ? QStringLiteral("予定なし") : MemoFromCp932(plans));
        appendLine(separator);

        // A plan that quotes a later day's date text takes the colour in its place.
        week->dates.append(
            {static_cast<int>(week->text.indexOf(dateText)), static_cast<int>(dateText.size())});
    }
    return true;
}

TS_Form::TS_Form(DiaryContext* diary, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      diary_(diary),
      mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("S_Form"));
    setWindowTitle(QStringLiteral("予定1週間"));
    setModal(false);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    RichEdit1->setAcceptRichText(false);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Read-only, yet the caret is placed at the start as in an editor.
    RichEdit1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Button1 = new QPushButton(QStringLiteral("BACK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("NEXT"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    for (QPushButton* b : {Button1, Button2})
        b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addStretch(1);
    buttons->addWidget(Button2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(RichEdit1, 1);
    layout->addLayout(buttons);

    connect(Button1, &QPushButton::clicked, this, &TS_Form::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TS_Form::Button2Click);
    FormCreate();
}

void TS_Form::FormCreate() {
    placeBesideMainWindow();
    RichEdit1->setFont(EditorFont(diary_->editorFontSize()));
    weekStart_ = today_();
    ShowWeek(weekStart_);
}

void TS_Form::placeBesideMainWindow() {
    // On the left of the main window, as tall as it is.
    const QRect main = mainWindow_->frameGeometry();
    const int frameWidth = frameGeometry().width() - width();
    const int frameHeight = frameGeometry().height() - height();
    setFixedSize(kWindowWidth, main.height() - frameHeight);
    move(main.x() - (kWindowWidth + frameWidth), main.y());
}

void TS_Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The window frame is only known once shown; the place is set once, as at creation.
    if (!placedWithFrame_) {
        placedWithFrame_ = true;
        placeBesideMainWindow();
    }
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        FormShow();
}

void TS_Form::FormShow() {
    weekStart_ = today_();
    ShowWeek(weekStart_);
}

void TS_Form::Button1Click() {
    weekStart_ = weekStart_.addDays(-kDaysShown);
    ShowWeek(weekStart_);
}

void TS_Form::Button2Click() {
    weekStart_ = weekStart_.addDays(kDaysShown);
    ShowWeek(weekStart_);
}

void TS_Form::ShowWeek(const QDate& start) {
    ScheduleWeek week;
    QString error;
    const bool ok = BuildScheduleWeek(diary_->paths().programFolder, start, &week, &error);
    Label1->setText(week.label);
    RichEdit1->setPlainText(week.text);
    QTextCharFormat dateFormat;
    dateFormat.setForeground(QColor(255, 0, 0));
    dateFormat.setFontWeight(QFont::Bold);
    for (const ScheduleWeek::Range& range : week.dates) {
        QTextCursor cursor(RichEdit1->document());
        cursor.setPosition(range.start);
        cursor.setPosition(range.start + range.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(dateFormat);
    }
    QTextCursor caret = RichEdit1->textCursor();
    caret.setPosition(0);
    RichEdit1->setTextCursor(caret);
    if (!ok)
        MessageBox::error(this, error);
}
