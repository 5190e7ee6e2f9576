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
#include "core/date.h"
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
    startDatePicker_ =
        MakeDatePicker(this, "DateTimePicker1", EntryDaysFromIndex(&diary_->store()));
    endDatePicker_ = MakeDatePicker(this, "DateTimePicker2", EntryDaysFromIndex(&diary_->store()));
    oldestFirstCheck_ = new QCheckBox(QStringLiteral("古い順に"), this);
    oldestFirstCheck_->setObjectName(QStringLiteral("CheckBox1"));
    styleCombo_ = new QComboBox(this);
    styleCombo_->setObjectName(QStringLiteral("ComboBox1"));
    styleCombo_->setEditable(false);
    styleCombo_->setMinimumWidth(140);
    generateButton_ = button("Button1", QStringLiteral("出力"));
    appendButton_ = button("Button5", QStringLiteral("追加出力"));
    saveButton_ = button("Button2", QStringLiteral("保存"));
    browserButton_ = button("Button3", QStringLiteral("ブラウザ"));
    ftpButton_ = button("Button4", QStringLiteral("FTP"));
    QPushButton* button6 = button("Button6", QStringLiteral("閉じる"));
    pageEdit_ = new QPlainTextEdit(this);
    pageEdit_->setObjectName(QStringLiteral("RichEdit1"));
    pageEdit_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pageEdit_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* panel2 = new QWidget(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    progressBar_ = new QProgressBar(panel2);
    progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar_->setRange(0, 100);
    progressBar_->setTextVisible(false);

    auto* range = new QHBoxLayout;
    range->addWidget(startDatePicker_);
    range->addWidget(label("Label1", QStringLiteral("から")));
    range->addWidget(endDatePicker_);
    range->addWidget(label("Label2", QStringLiteral("まで")));
    range->addWidget(oldestFirstCheck_);
    range->addStretch(1);
    auto* style = new QHBoxLayout;
    style->addWidget(label("Label3", QStringLiteral("出力スタイル")));
    style->addWidget(styleCombo_);
    style->addWidget(label("Label4", QStringLiteral("で")));
    style->addWidget(generateButton_);
    style->addWidget(appendButton_);
    style->addStretch(1);
    auto* output = new QHBoxLayout;
    for (QPushButton* b : {saveButton_, browserButton_, ftpButton_})
        output->addWidget(b);
    output->addStretch(1);
    output->addWidget(button6);
    auto* status = new QHBoxLayout(panel2);
    status->setContentsMargins(4, 2, 4, 2);
    status->addWidget(label("Panel2Caption", QStringLiteral("  出力状況")));
    status->addWidget(progressBar_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(range);
    layout->addLayout(style);
    layout->addLayout(output);
    layout->addWidget(pageEdit_, 1);
    layout->addWidget(panel2);

    connect(generateButton_, &QPushButton::clicked, this, &TH_OutForm::onGenerate);
    connect(appendButton_, &QPushButton::clicked, this, &TH_OutForm::onAppend);
    connect(saveButton_, &QPushButton::clicked, this, &TH_OutForm::onSave);
    connect(browserButton_, &QPushButton::clicked, this, &TH_OutForm::onOpenInBrowser);
    connect(ftpButton_, &QPushButton::clicked, this, &TH_OutForm::onUpload);
    connect(button6, &QPushButton::clicked, this, &QWidget::close);
    setInitialState();
}

void TH_OutForm::setInitialState() {
    move(mainWindow_->x(), mainWindow_->y() + 120);
    const QDate today = ToQDate(tavo::Today());
    startDatePicker_->setDate(QDate(today.year(), today.month(), 1));
    endDatePicker_->setDate(today);
    pageEdit_->setFont(EditorFont(diary_->editorFontSize()));
}

void TH_OutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored from the task bar keeps what it shows.
    if (!event->spontaneous())
        onShow();
}

void TH_OutForm::onShow() {
    pageEdit_->clear();
    progressBar_->setValue(0);
    saveButton_->setEnabled(false);
    browserButton_->setEnabled(false);
    ftpButton_->setEnabled(false);

    const std::filesystem::path folder = diary_->paths().programFolder;
    styleCombo_->clear();
    styleCombo_->addItems(SortedStyleNames(folder));
    generateButton_->setEnabled(true);
    appendButton_->setEnabled(true);
    if (!tavo::AnyStyleFile(folder)) {
        styleCombo_->addItem(kNoStyle);
        generateButton_->setEnabled(false);
        appendButton_->setEnabled(false);
    }
    styleCombo_->setCurrentIndex(styleCombo_->count() > 0 ? 0 : -1);
}

bool TH_OutForm::GeneratePage(std::string* page) {
    tavo::PageRequest request;
    request.styleName = styleCombo_->currentText().toStdString();
    request.start = ToDate(startDatePicker_->date());
    request.end = ToDate(endDatePicker_->date());
    request.oldestFirst = oldestFirstCheck_->isChecked();
    std::string error;
    const bool ok = tavo::GeneratePage(
        diary_->paths().programFolder, request, page, &error, [this](int percent) {
            if (percent == progressBar_->value())
                return;
            progressBar_->setValue(percent);
            progressBar_->repaint();  // the run does not return to the event loop until done
        });
    if (!ok) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    saveButton_->setEnabled(true);
    browserButton_->setEnabled(true);
    ftpButton_->setEnabled(true);
    return true;
}

void TH_OutForm::onGenerate() {
    std::string page;
    if (GeneratePage(&page))
        pageEdit_->setPlainText(MemoFromCp932(page));
}

void TH_OutForm::onAppend() {
    std::string page;
    if (GeneratePage(&page))
        pageEdit_->setPlainText(pageEdit_->toPlainText() + MemoFromCp932(page));
}

std::string TH_OutForm::pageBytes() const {
    return tavo::JoinLinesCrLf(tavo::SplitLines(ToCp932(pageEdit_->toPlainText()).bytes));
}

bool TH_OutForm::writePage(const std::filesystem::path& file) {
    std::string error;
    if (!tavo::WriteFileAtomically(file, pageBytes(), &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return false;
    }
    return true;
}

void TH_OutForm::onSave() {
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
        saveButton_->setEnabled(false);
        browserButton_->setEnabled(true);
        diary_->setHtmlSavePath(file.absolutePath());
        return;
    }
}

void TH_OutForm::onOpenInBrowser() {
    const std::filesystem::path temp = diary_->paths().programFolder / "temp.html";
    if (writePage(temp))
        UrlOpener::open(QUrl::fromLocalFile(FromPath(temp)));
}

void TH_OutForm::onUpload() {
    if (!uploadDialog_) {
        MessageBox::message(this, QStringLiteral("「FTP」はまだ使えません。"));
        return;
    }
    uploadDialog_->exec();
}
