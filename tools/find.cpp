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
    Edit1 = named(new QLineEdit(textGroup), "Edit1");
    auto* hint = named(
        new QLabel(
            QStringLiteral("(検索文字列が空欄の場合、検索範囲内の全ての記録をリストアップします)"),
            textGroup),
        "Label3");
    auto* textLayout = new QVBoxLayout(textGroup);
    textLayout->addWidget(Edit1);
    textLayout->addWidget(hint);

    auto* rangeGroup = named(new QGroupBox(QStringLiteral("検索範囲"), this), "GroupBox2");
    RadioButton2 =
        named(new QRadioButton(QStringLiteral("検索範囲指定"), rangeGroup), "RadioButton2");
    RadioButton1 =
        named(new QRadioButton(QStringLiteral("全日記検索"), rangeGroup), "RadioButton1");
    DateTimePicker1 =
        MakeDatePicker(rangeGroup, "DateTimePicker1", EntryDaysFromIndex(&diary_->store()));
    DateTimePicker2 =
        MakeDatePicker(rangeGroup, "DateTimePicker2", EntryDaysFromIndex(&diary_->store()));
    auto* dates = new QHBoxLayout;
    dates->addSpacing(20);
    dates->addWidget(DateTimePicker1);
    dates->addWidget(named(new QLabel(QStringLiteral("から"), rangeGroup), "Label1"));
    dates->addWidget(DateTimePicker2);
    dates->addWidget(named(new QLabel(QStringLiteral("まで"), rangeGroup), "Label2"));
    dates->addStretch(1);
    auto* rangeLayout = new QVBoxLayout(rangeGroup);
    rangeLayout->addWidget(RadioButton2);
    rangeLayout->addLayout(dates);
    rangeLayout->addWidget(RadioButton1);

    auto* partsGroup = named(new QGroupBox(QStringLiteral("検索領域"), this), "GroupBox3");
    CheckBox1 = named(new QCheckBox(QStringLiteral("タイトル"), partsGroup), "CheckBox1");
    CheckBox2 = named(new QCheckBox(QStringLiteral("PUBLIC"), partsGroup), "CheckBox2");
    CheckBox3 = named(new QCheckBox(QStringLiteral("PRIVATE"), partsGroup), "CheckBox3");
    auto* partsLayout = new QHBoxLayout(partsGroup);
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3}) {
        box->setChecked(true);
        partsLayout->addWidget(box);
    }
    partsLayout->addStretch(1);

    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    auto button = [this, named](const char* name, const QString& text) {
        auto* b = named(new QPushButton(text, this), name);
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("検索"));
    Button2 = button("Button2", QStringLiteral("キャンセル"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ProgressBar1, 1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(textGroup);
    layout->addWidget(rangeGroup);
    layout->addWidget(partsGroup);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    RadioButton2->setChecked(true);
    connect(RadioButton1, &QRadioButton::clicked, this, &TFindForm::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TFindForm::RadioButton2Click);
    connect(Button1, &QPushButton::clicked, this, &TFindForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QWidget::close);
    FormCreate();
}

void TFindForm::FormCreate() {
    move(mainWindow_->x() + 40, mainWindow_->y() + 120);
    // The same day a month earlier, or that month's last day when it is shorter.
    const QDate today = QDate::currentDate();
    DateTimePicker1->setDate(today.addMonths(-1));
    DateTimePicker2->setDate(today);
}

void TFindForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        FormShow();
}

void TFindForm::FormShow() {
    ProgressBar1->setValue(0);
}

void TFindForm::RadioButton1Click() {
    DateTimePicker1->setEnabled(false);
    DateTimePicker2->setEnabled(false);
}

void TFindForm::RadioButton2Click() {
    DateTimePicker1->setEnabled(true);
    DateTimePicker2->setEnabled(true);
}

tavo::SearchRequest TFindForm::request() const {
    tavo::SearchRequest request;
    request.text = ToCp932(Edit1->text()).bytes;
    request.allEntries = RadioButton1->isChecked();
    request.first = ToDate(DateTimePicker1->date());
    request.last = ToDate(DateTimePicker2->date());
    request.title = CheckBox1->isChecked();
    request.publicText = CheckBox2->isChecked();
    request.privateText = CheckBox3->isChecked();
    return request;
}

void TFindForm::Button1Click() {
    tavo::SearchResult result;
    std::string error;
    const bool ok = tavo::SearchDiary(diary_->paths().programFolder, request(), &result, &error,
                                      [this](int percent) {
                                          if (percent == ProgressBar1->value())
                                              return;
                                          ProgressBar1->setValue(percent);
                                          // The search does not return to the event loop.
                                          ProgressBar1->repaint();
                                      });
    if (!ok) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (!resultWindow_)
        return;
    resultWindow_->setResults(result);
    close();
    resultWindow_->show();
    resultWindow_->raise();
    resultWindow_->activateWindow();
}
