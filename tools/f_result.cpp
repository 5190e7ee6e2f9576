#include "f_result.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/ui_text.h"
#include "uikit/diary_context.h"
#include "uikit/editor_font.h"

QString ResultLine(const QDate& date, const QString& title) {
    return QStringLiteral("%1/%2/%3(%4) : %5")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(JapaneseWeekday(date), title);
}

QDate DateOfResultLine(const QString& line) {
    auto number = [&line](int from, int length, bool* ok) {
        const QString digits = line.mid(from, length);
        for (const QChar c : digits)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                *ok = false;
        return digits.size() == length ? digits.toInt() : (*ok = false, 0);
    };
    bool ok = true;
    const int year = number(0, 4, &ok);
    const int month = number(5, 2, &ok);
    const int day = number(8, 2, &ok);
    return ok ? QDate(year, month, day) : QDate();
}

QString ResultCountText(int hits, int skipped) {
    QString text = QStringLiteral("該当日記件数は%1件です").arg(hits);
    if (skipped > 0)
        text += QStringLiteral("（読めないファイル %1 件）").arg(skipped);
    return text;
}

TResult_Find::TResult_Find(DiaryContext* diary, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Window), diary_(diary), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("Result_Find"));
    setWindowTitle(QStringLiteral("日記の検索結果"));
    setModal(false);
    resize(360, 400);

    countLabel_ = new QLabel(QStringLiteral("該当する日記は"), this);
    countLabel_->setObjectName(QStringLiteral("Label1"));
    resultList_ = new QListWidget(this);
    resultList_->setObjectName(QStringLiteral("ListBox1"));
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    showButton_ = button("Button1", QStringLiteral("表示"));
    closeButton_ = button("Button2", QStringLiteral("閉じる"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(showButton_);
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countLabel_);
    layout->addWidget(resultList_, 1);
    layout->addLayout(buttons);

    connect(showButton_, &QPushButton::clicked, this, &TResult_Find::onShowEntry);
    connect(resultList_, &QListWidget::itemDoubleClicked, this, &TResult_Find::onShowEntry);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    connect(&diary_->diary(), &Diary::entriesChanged, this, &TResult_Find::searchAgain);
}

void TResult_Find::searchAgain() {
    if (!request_ || !isVisible())
        return;
    tavo::SearchResult result;
    std::string error;
    if (!tavo::SearchDiary(diary_->paths().programFolder, *request_, &result, &error)) {
        // The list stays as it was; the count's tool tip says why it was not renewed.
        countLabel_->setToolTip(QString::fromStdString(error));
        return;
    }
    const int row = resultList_->currentRow();
    setResults(result, request_);
    resultList_->setCurrentRow(std::min(row, resultList_->count() - 1));
}

void TResult_Find::setResults(const tavo::SearchResult& result,
                              std::optional<tavo::SearchRequest> request) {
    request_ = std::move(request);
    resultList_->clear();
    for (const tavo::SearchHit& hit : result.hits)
        resultList_->addItem(ResultLine(ToQDate(hit.date), FromCp932(hit.title)));
    countLabel_->setText(ResultCountText(static_cast<int>(result.hits.size()),
                                         static_cast<int>(result.skipped.size())));
    // The count says that files were passed over; the tool tip says which and why.
    QStringList skipped;
    for (const tavo::SkippedFile& file : result.skipped)
        skipped << QString::fromStdString(file.name + ": " + file.reason);
    countLabel_->setToolTip(skipped.join(QLatin1Char('\n')));
}

void TResult_Find::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        onShow();
}

void TResult_Find::onShow() {
    // Beside the main window, on its right, as tall as it is.
    const QRect main = mainWindow_->frameGeometry();
    const int frameHeight = frameGeometry().height() - height();
    resize(width(), main.height() - frameHeight);
    move(main.x() + main.width(), main.y());
    resultList_->setFont(EditorFont(diary_->editorFontSize()));
}

void TResult_Find::onShowEntry() {
    const QListWidgetItem* item = resultList_->currentItem();
    if (!item || !item->isSelected())
        return;
    const QDate date = DateOfResultLine(item->text());
    // A failed save has been reported by the main window, which still shows the unsaved day.
    if (!date.isValid() || !diary_->showDate(date))
        return;
    mainWindow_->show();
    mainWindow_->raise();
    mainWindow_->activateWindow();
}
