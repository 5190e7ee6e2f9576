#include "html_out.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <system_error>

#include "common/ui_text.h"
#include "core/text_file.h"
#include "page_generator.h"
#include "style.h"
#include "style_select.h"
#include "uikit/date_picker.h"
#include "uikit/desktop.h"
#include "uikit/diary_context.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"

namespace {

const QString kNoStyle = QStringLiteral("スタイル不存在");

}  // namespace

TH_OutForm::TH_OutForm(DiaryContext* diary, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Window), diary_(diary), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("H_OutForm"));
    setWindowTitle(QStringLiteral("HTML出力"));
    setModal(false);
    resize(604, 388);

    auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    DateTimePicker1 = MakeDatePicker(this, "DateTimePicker1", EntryDaysFromIndex(&diary_->store()));
    DateTimePicker2 = MakeDatePicker(this, "DateTimePicker2", EntryDaysFromIndex(&diary_->store()));
    CheckBox1 = new QCheckBox(QStringLiteral("古い順に"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setEditable(false);
    ComboBox1->setMinimumWidth(140);
    Button1 = button("Button1", QStringLiteral("出力"));
    Button5 = button("Button5", QStringLiteral("追加出力"));
    Button2 = button("Button2", QStringLiteral("保存"));
    Button3 = button("Button3", QStringLiteral("ブラウザ"));
    Button4 = button("Button4", QStringLiteral("FTP"));
    QPushButton* button6 = button("Button6", QStringLiteral("閉じる"));
    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* panel2 = new QWidget(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    ProgressBar1 = new QProgressBar(panel2);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);

    auto* range = new QHBoxLayout;
    range->addWidget(DateTimePicker1);
    range->addWidget(label("Label1", QStringLiteral("から")));
    range->addWidget(DateTimePicker2);
    range->addWidget(label("Label2", QStringLiteral("まで")));
    range->addWidget(CheckBox1);
    range->addStretch(1);
    auto* style = new QHBoxLayout;
    style->addWidget(label("Label3", QStringLiteral("出力スタイル")));
    style->addWidget(ComboBox1);
    style->addWidget(label("Label4", QStringLiteral("で")));
    style->addWidget(Button1);
    style->addWidget(Button5);
    style->addStretch(1);
    auto* output = new QHBoxLayout;
    for (QPushButton* b : {Button2, Button3, Button4})
        output->addWidget(b);
    output->addStretch(1);
    output->addWidget(button6);
    auto* status = new QHBoxLayout(panel2);
    status->setContentsMargins(4, 2, 4, 2);
    status->addWidget(label("Panel2Caption", QStringLiteral("  出力状況")));
    status->addWidget(ProgressBar1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addLayout(style);
    layout->addLayout(output);
    layout->addWidget(RichEdit1, 1);
    layout->addWidget(panel2);

    connect(Button1, &QPushButton::clicked, this, &TH_OutForm::Button1Click);
    connect(Button5, &QPushButton::clicked, this, &TH_OutForm::Button5Click);
    connect(Button2, &QPushButton::clicked, this, &TH_OutForm::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TH_OutForm::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TH_OutForm::Button4Click);
    connect(button6, &QPushButton::clicked, this, &QWidget::close);
    FormCreate();
}

void TH_OutForm::FormCreate() {
    move(mainWindow_->x(), mainWindow_->y() + 120);
    const QDate today = QDate::currentDate();
    DateTimePicker1->setDate(QDate(today.year(), today.month(), 1));
    DateTimePicker2->setDate(today);
    RichEdit1->setFont(EditorFont(diary_->editorFontSize()));
}

void TH_OutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        FormShow();
}

void TH_OutForm::FormShow() {
    RichEdit1->clear();
    ProgressBar1->setValue(0);
    Button2->setEnabled(false);
    Button3->setEnabled(false);
    Button4->setEnabled(false);

    const std::filesystem::path folder = diary_->paths().programFolder;
    ComboBox1->clear();
    ComboBox1->addItems(SortedStyleNames(folder));
    Button1->setEnabled(true);
    Button5->setEnabled(true);
    if (!tavo::AnyStyleFile(folder)) {
        ComboBox1->addItem(kNoStyle);
        Button1->setEnabled(false);
        Button5->setEnabled(false);
    }
    ComboBox1->setCurrentIndex(ComboBox1->count() > 0 ? 0 : -1);
}

bool TH_OutForm::GeneratePage(std::string* page) {
    tavo::PageRequest request;
    request.styleName = ComboBox1->currentText().toStdString();
    request.start = ToDate(DateTimePicker1->date());
    request.end = ToDate(DateTimePicker2->date());
    request.oldestFirst = CheckBox1->isChecked();
    std::string error;
    const bool ok = tavo::GeneratePage(
        diary_->paths().programFolder, request, page, &error, [this](int percent) {
            if (percent == ProgressBar1->value())
                return;
            ProgressBar1->setValue(percent);
            ProgressBar1->repaint();  // the run does not return to the event loop until done
        });
    if (!ok) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    Button2->setEnabled(true);
    Button3->setEnabled(true);
    Button4->setEnabled(true);
    return true;
}

void TH_OutForm::Button1Click() {
    std::string page;
    if (GeneratePage(&page))
        RichEdit1->setPlainText(MemoFromCp932(page));
}

void TH_OutForm::Button5Click() {
    std::string page;
    if (GeneratePage(&page))
        RichEdit1->setPlainText(RichEdit1->toPlainText() + MemoFromCp932(page));
}

std::string TH_OutForm::pageBytes() const {
    return tavo::JoinLinesCrLf(tavo::SplitLines(ToCp932(RichEdit1->toPlainText()).bytes));
}

bool TH_OutForm::writePage(const std::filesystem::path& file) {
    std::string error;
    if (!tavo::WriteFileAtomically(file, pageBytes(), &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    return true;
}

void TH_OutForm::Button2Click() {
    for (;;) {
        const QString chosen = FileChooser::saveFileName(
            this, diary_->htmlSavePath(), QStringLiteral("htmlファイル (*.html *.htm)"),
            QStringLiteral("html"));
        if (chosen.isEmpty())
            return;
        const QFileInfo file(chosen);
        if (file.exists() &&
            !MessageBox::warningOkCancel(
                this, file.fileName() + QStringLiteral("は存在します\r上書きしますか？")))
            continue;
        if (!writePage(ToPath(chosen)))
            return;
        Button2->setEnabled(false);
        Button3->setEnabled(true);
        diary_->setHtmlSavePath(file.absolutePath());
        return;
    }
}

void TH_OutForm::Button3Click() {
    const std::filesystem::path temp = diary_->paths().programFolder / "temp.html";
    if (writePage(temp))
        UrlOpener::open(QUrl::fromLocalFile(FromPath(temp)));
}

void TH_OutForm::Button4Click() {
    if (!uploadDialog_) {
        MessageBox::message(this, QStringLiteral("「FTP」はまだ使えません。"));
        return;
    }
    uploadDialog_->exec();
}
