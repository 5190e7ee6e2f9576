#include "find.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "common/ui_text.h"
#include "core/date.h"
#include "tools/f_result.h"
#include "uikit/date_picker.h"
#include "uikit/diary_context.h"
#include "uikit/message_box.h"

TFindForm::TFindForm(DiaryContext* diary, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      diary_(diary),
      mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("FindForm"));
    setWindowTitle(QStringLiteral("日記の検索"));
    setModal(false);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    auto* textGroup = named(new QGroupBox(QStringLiteral("検索文字列"), this), "GroupBox1");
    textEdit_ = named(new QLineEdit(textGroup), "Edit1");
    auto* hint = named(
        new QLabel(
            QStringLiteral("(検索文字列が空欄の場合、検索範囲内の全ての記録をリストアップします)"),
            textGroup),
        "Label3");
    auto* textLayout = new QVBoxLayout(textGroup);
    textLayout->addWidget(textEdit_);
    textLayout->addWidget(hint);

    auto* rangeGroup = named(new QGroupBox(QStringLiteral("検索範囲"), this), "GroupBox2");
    rangeRadio_ =
        named(new QRadioButton(QStringLiteral("検索範囲指定"), rangeGroup), "RadioButton2");
    allEntriesRadio_ =
        named(new QRadioButton(QStringLiteral("全日記検索"), rangeGroup), "RadioButton1");
    firstDatePicker_ =
        MakeDatePicker(rangeGroup, "DateTimePicker1", EntryDaysFromIndex(&diary_->store()));
    lastDatePicker_ =
        MakeDatePicker(rangeGroup, "DateTimePicker2", EntryDaysFromIndex(&diary_->store()));
    auto* dates = new QHBoxLayout;
    dates->addSpacing(20);
    dates->addWidget(firstDatePicker_);
    dates->addWidget(named(new QLabel(QStringLiteral("から"), rangeGroup), "Label1"));
    dates->addWidget(lastDatePicker_);
    dates->addWidget(named(new QLabel(QStringLiteral("まで"), rangeGroup), "Label2"));
    dates->addStretch(1);
    auto* rangeLayout = new QVBoxLayout(rangeGroup);
    rangeLayout->addWidget(rangeRadio_);
    rangeLayout->addLayout(dates);
    rangeLayout->addWidget(allEntriesRadio_);

    auto* partsGroup = named(new QGroupBox(QStringLiteral("検索領域"), this), "GroupBox3");
    titleCheck_ = named(new QCheckBox(QStringLiteral("タイトル"), partsGroup), "CheckBox1");
    publicCheck_ = named(new QCheckBox(QStringLiteral("PUBLIC"), partsGroup), "CheckBox2");
    privateCheck_ = named(new QCheckBox(QStringLiteral("PRIVATE"), partsGroup), "CheckBox3");
    auto* partsLayout = new QHBoxLayout(partsGroup);
    for (QCheckBox* box : {titleCheck_, publicCheck_, privateCheck_}) {
        box->setChecked(true);
        partsLayout->addWidget(box);
    }
    partsLayout->addStretch(1);

    progressBar_ = named(new QProgressBar(this), "ProgressBar1");
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    auto button = [this, named](const char* name, const QString& text) {
        auto* b = named(new QPushButton(text, this), name);
        b->setAutoDefault(false);
        return b;
    };
    searchButton_ = button("Button1", QStringLiteral("検索"));
    cancelButton_ = button("Button2", QStringLiteral("キャンセル"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(progressBar_, 1);
    buttons->addWidget(searchButton_);
    buttons->addWidget(cancelButton_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textGroup);
    layout->addWidget(rangeGroup);
    layout->addWidget(partsGroup);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    rangeRadio_->setChecked(true);
    connect(allEntriesRadio_, &QRadioButton::clicked, this, &TFindForm::onAllEntries);
    connect(rangeRadio_, &QRadioButton::clicked, this, &TFindForm::onDateRange);
    connect(searchButton_, &QPushButton::clicked, this, &TFindForm::onSearch);
    connect(cancelButton_, &QPushButton::clicked, this, &QWidget::close);
    setInitialState();
}

void TFindForm::setInitialState() {
    move(mainWindow_->x() + 40, mainWindow_->y() + 120);
    // The same day a month earlier, or that month's last day when it is shorter.
    const QDate today = ToQDate(tavo::Today());
    firstDatePicker_->setDate(today.addMonths(-1));
    lastDatePicker_->setDate(today);
}

void TFindForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        onShow();
}

void TFindForm::onShow() {
    progressBar_->setValue(0);
}

void TFindForm::onAllEntries() {
    firstDatePicker_->setEnabled(false);
    lastDatePicker_->setEnabled(false);
}

void TFindForm::onDateRange() {
    firstDatePicker_->setEnabled(true);
    lastDatePicker_->setEnabled(true);
}

tavo::SearchRequest TFindForm::request() const {
    tavo::SearchRequest request;
    request.text = ToCp932(textEdit_->text()).bytes;
    request.allEntries = allEntriesRadio_->isChecked();
    request.first = ToDate(firstDatePicker_->date());
    request.last = ToDate(lastDatePicker_->date());
    request.title = titleCheck_->isChecked();
    request.publicText = publicCheck_->isChecked();
    request.privateText = privateCheck_->isChecked();
    return request;
}

void TFindForm::onSearch() {
    tavo::SearchResult result;
    std::string error;
    const bool ok = tavo::SearchDiary(diary_->paths().programFolder, request(), &result, &error,
                                      [this](int percent) {
                                          if (percent == progressBar_->value())
                                              return;
                                          progressBar_->setValue(percent);
                                          // The search does not return to the event loop.
                                          progressBar_->repaint();
                                      });
    if (!ok) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (!resultWindow_)
        return;
    resultWindow_->setResults(result, request());
    close();
    resultWindow_->show();
    resultWindow_->raise();
    resultWindow_->activateWindow();
}
