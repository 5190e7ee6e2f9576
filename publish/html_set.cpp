#include "html_set.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <system_error>

#include "common/ui_text.h"
#include "core/text_file.h"
#include "style_edit.h"
#include "uikit/diary_context.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"

namespace {

// The format choices in index order, as the style file stores them.
const char* const kYearStyles[] = {"半角4桁(2000)", "半角2桁(00)"};
const char* const kMonthStyles[] = {"半角（0を含む)", "半角(0含まず)", "英語短(APR)",
                                    "英語長(April)", "日本語(卯月)"};
const char* const kDayStyles[] = {"半角(0を含む)", "半角(0含まず)"};
const char* const kWeekdayStyles[] = {"漢字(日)", "英語短(mon)", "英語長(Monday)"};

template <typename T>
T* Named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Text typed into a format box selects the item it spells, or none: the file then stores
// "-1".
int SelectedIndex(const QComboBox* box) {
    return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void Select(QComboBox* box, int index) {
    if (index < 0 || index >= box->count()) {
        box->setCurrentIndex(-1);
        box->setEditText(QString());
        return;
    }
    box->setCurrentIndex(index);
}

// An affix is one line of the file: a line break pasted into it would shift every line
// after it, so only its first line is kept.
QString FirstLine(const QString& text) {
    static const QString breaks = QStringLiteral("\r\n\u2028\u2029");
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (breaks.contains(text[i]))
            return text.left(i);
    }
    return text;
}

void SetFlag(QCheckBox* box, const std::string& flag) {
    // Anything but "1" or "0" leaves the box as the reset left it.
    if (flag == "1")
        box->setChecked(true);
    else if (flag == "0")
        box->setChecked(false);
}

}  // namespace

TPagesDlg::TPagesDlg(DiaryContext* diary, QWidget* mainWindow)
    : QDialog(mainWindow), diary_(diary), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("PagesDlg"));
    setWindowTitle(QStringLiteral("HTML設定"));
    setModal(true);
    resize(550, 493);

    auto label = [this](const char* name, const QString& text) {
        return Named(new QLabel(text, this), name);
    };
    auto memo = [this](const char* name) {
        auto* m = Named(new QPlainTextEdit(this), name);
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        return m;
    };
    auto combo = [this](const char* name, const auto& captions) {
        auto* box = Named(new QComboBox(this), name);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        for (const char* caption : captions)
            box->addItem(QString::fromUtf8(caption));
        return box;
    };
    auto edit = [this](const char* name) { return Named(new QLineEdit(this), name); };

    // The name strip above the pages.
    styleNameEdit_ = edit("Edit7");
    auto* nameStrip = new QHBoxLayout;
    nameStrip->addWidget(label("Label5", QStringLiteral("出力スタイル名")));
    nameStrip->addWidget(styleNameEdit_, 1);
    nameStrip->addWidget(
        label("Label6", QStringLiteral("( \\ / : , ; * ? \" < > | は使えません)")));

    pages_ = Named(new QTabWidget(this), "PageControl1");
    auto page = [this](const char* name, const QString& caption) {
        auto* sheet = Named(new QWidget(pages_), name);
        pages_->addTab(sheet, caption);
        return sheet;
    };
    auto fill = [](QWidget* sheet, QWidget* content) {
        auto* layout = new QVBoxLayout(sheet);
        layout->addWidget(content);
    };

    QWidget* tabSheet1 = page("TabSheet1", QStringLiteral("出力ファイルのヘッダ"));
    headMemo_ = memo("Memo1");
    fill(tabSheet1, headMemo_);

    QWidget* tabSheet2 = page("TabSheet2", QStringLiteral("日付・題名"));
    useTitleCheck_ =
        Named(new QCheckBox(QStringLiteral("日付・題名を使用する"), this), "CheckBox1");
    useTitleCheck_->setChecked(true);
    yearStyleCombo_ = combo("ComboBox2", kYearStyles);
    monthStyleCombo_ = combo("ComboBox3", kMonthStyles);
    dayStyleCombo_ = combo("ComboBox4", kDayStyles);
    weekdayStyleCombo_ = combo("ComboBox5", kWeekdayStyles);
    auto* formats = new QGridLayout;
    formats->addWidget(label("Label10", QStringLiteral("(年)のスタイル")), 0, 0);
    formats->addWidget(yearStyleCombo_, 0, 1);
    formats->addWidget(label("Label8", QStringLiteral("(月)のスタイル")), 0, 2);
    formats->addWidget(monthStyleCombo_, 0, 3);
    formats->addWidget(label("Label11", QStringLiteral("(日)のスタイル")), 1, 0);
    formats->addWidget(dayStyleCombo_, 1, 1);
    formats->addWidget(label("Label9", QStringLiteral("(曜日)のスタイル")), 1, 2);
    formats->addWidget(weekdayStyleCombo_, 1, 3);
    formats->setColumnStretch(1, 1);
    formats->setColumnStretch(3, 1);

    // The group reads as the date-and-title line: an affix before the year, then one after
    // each of year, month, day, weekday and title.
    dateTitleGroup_ = Named(new QGroupBox(QStringLiteral("日付・題名"), this), "GroupBox1");
    beforeYearEdit_ = edit("Edit1");
    afterYearEdit_ = edit("Edit2");
    afterMonthEdit_ = edit("Edit3");
    afterDayEdit_ = edit("Edit4");
    afterWeekdayEdit_ = edit("Edit5");
    afterTitleEdit_ = edit("Edit6");
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(label("Label1", QStringLiteral("(年)")));
    dateRow->addWidget(afterYearEdit_);
    dateRow->addWidget(label("Label2", QStringLiteral("(月)")));
    dateRow->addWidget(afterMonthEdit_);
    dateRow->addWidget(label("Label3", QStringLiteral("(日)")));
    dateRow->addWidget(afterDayEdit_);
    dateRow->addWidget(label("Label12", QStringLiteral("(曜日)")));
    dateRow->addWidget(afterWeekdayEdit_);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(label("Label4", QStringLiteral("(題名)")));
    titleRow->addWidget(afterTitleEdit_, 1);
    auto* affixes = new QVBoxLayout(dateTitleGroup_);
    affixes->addWidget(beforeYearEdit_);
    affixes->addLayout(dateRow);
    affixes->addLayout(titleRow);

    auto* groupBox2 = Named(new QGroupBox(QStringLiteral("日記本文の上"), this), "GroupBox2");
    aboveBodyMemo_ = memo("Memo4");
    (new QVBoxLayout(groupBox2))->addWidget(aboveBodyMemo_);
    useBodyCheck_ = Named(new QCheckBox(QStringLiteral("日記本文を使用する"), this), "CheckBox2");
    useBodyCheck_->setChecked(true);
    auto* groupBox3 = Named(new QGroupBox(QStringLiteral("日記本文の下"), this), "GroupBox3");
    belowBodyMemo_ = memo("Memo5");
    (new QVBoxLayout(groupBox3))->addWidget(belowBodyMemo_);

    auto* dateTitle = new QVBoxLayout(tabSheet2);
    dateTitle->addWidget(useTitleCheck_);
    dateTitle->addLayout(formats);
    dateTitle->addWidget(dateTitleGroup_);
    dateTitle->addWidget(groupBox2, 1);
    dateTitle->addWidget(useBodyCheck_);
    dateTitle->addWidget(groupBox3, 1);

    QWidget* tabSheet3 = page("TabSheet3", QStringLiteral("日記の間"));
    betweenMemo_ = memo("Memo2");
    fill(tabSheet3, betweenMemo_);
    QWidget* tabSheet4 = page("TabSheet4", QStringLiteral("出力ファイルのフッタ"));
    footMemo_ = memo("Memo3");
    fill(tabSheet4, footMemo_);

    auto* okBtn = Named(new QPushButton(QStringLiteral("OK"), this), "OKBtn");
    okBtn->setDefault(true);
    auto* cancelBtn = Named(new QPushButton(QStringLiteral("キャンセル"), this), "CancelBtn");
    cancelBtn->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okBtn);
    buttons->addWidget(cancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(nameStrip);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);

    connect(okBtn, &QPushButton::clicked, this, &TPagesDlg::onOk);
    connect(cancelBtn, &QPushButton::clicked, this, &TPagesDlg::onCancel);
    connect(useTitleCheck_, &QCheckBox::toggled, this, &TPagesDlg::onUseTitleToggled);
    setInitialState();
}

void TPagesDlg::setInitialState() {
    move(mainWindow_->x(), mainWindow_->y() + 120);
    const QFont font = EditorFont(diary_->editorFontSize());
    for (QWidget* field : std::initializer_list<QWidget*>{
             headMemo_, betweenMemo_, footMemo_, aboveBodyMemo_, belowBodyMemo_, beforeYearEdit_,
             afterYearEdit_, afterMonthEdit_, afterDayEdit_, afterWeekdayEdit_, afterTitleEdit_})
        field->setFont(font);
    onUseTitleToggled();
}

void TPagesDlg::onUseTitleToggled() {
    dateTitleGroup_->setVisible(useTitleCheck_->isChecked());
}

bool TPagesDlg::LoadStyle(const QString& styleName, bool load, std::string* error) {
    // Everything is read and checked before the dialog changes, so a style that cannot be
    // shown leaves it as it was.
    tavo::Style style;
    int formats[4] = {};
    if (load) {
        const std::filesystem::path folder = diary_->paths().programFolder;
        const std::string name = styleName.toStdString();
        if (!tavo::ReadStyle(folder, name, &style, error))
            return false;
        const std::string* lines[] = {&style.yearStyle, &style.monthStyle, &style.dayStyle,
                                      &style.weekdayStyle};
        for (int i = 0; i < 4; ++i) {
            if (!tavo::FormatIndexFromLine(*lines[i], &formats[i])) {
                *error = "スタイルファイルの書式の行 \"" + FromCp932(*lines[i]).toStdString() +
                         "\" が整数ではありません: \"" + tavo::StylePath(folder, name).string() +
                         "\"";
                return false;
            }
        }
    }

    // The affixes are kept: a new style starts with those of the style loaded last.
    styleNameEdit_->setText(QString());
    for (QComboBox* box : {yearStyleCombo_, monthStyleCombo_, dayStyleCombo_, weekdayStyleCombo_})
        box->setCurrentIndex(0);
    useTitleCheck_->setChecked(true);
    useBodyCheck_->setChecked(true);
    for (QPlainTextEdit* m : {headMemo_, betweenMemo_, footMemo_, aboveBodyMemo_, belowBodyMemo_})
        m->clear();
    if (!load)
        return true;

    styleNameEdit_->setText(styleName);  // leaves the modified mark cleared: only typing sets it
    QComboBox* boxes[] = {yearStyleCombo_, monthStyleCombo_, dayStyleCombo_, weekdayStyleCombo_};
    for (int i = 0; i < 4; ++i)
        Select(boxes[i], formats[i]);
    bool invalidBytes = false;
    auto text = [&invalidBytes](const std::string& bytes) {
        bool invalid = false;
        QString decoded = FromCp932(bytes, &invalid);
        invalidBytes = invalidBytes || invalid;
        return decoded;
    };
    auto memoText = [&invalidBytes](const std::string& bytes) {
        bool invalid = false;
        QString decoded = MemoFromCp932(bytes, &invalid);
        invalidBytes = invalidBytes || invalid;
        return decoded;
    };
    QLineEdit* edits[] = {beforeYearEdit_, afterYearEdit_,    afterMonthEdit_,
                          afterDayEdit_,   afterWeekdayEdit_, afterTitleEdit_};
    for (size_t i = 0; i < style.affixes.size(); ++i)
        edits[i]->setText(text(style.affixes[i]));
    headMemo_->setPlainText(memoText(style.head));
    betweenMemo_->setPlainText(memoText(style.mid));
    footMemo_->setPlainText(memoText(style.foot));
    aboveBodyMemo_->setPlainText(memoText(style.diaryTop));
    belowBodyMemo_->setPlainText(memoText(style.diaryBottom));
    SetFlag(useTitleCheck_, style.useTitle);
    SetFlag(useBodyCheck_, style.useBody);
    // Saving would write those bytes back as another text; the user decides with "OK".
    if (invalidBytes)
        MessageBox::message(this, QStringLiteral("スタイル「%1」に Shift_JIS (CP932) "
                                                 "として読めないバイトがあります。\n"
                                                 "「OK」で保存すると、その部分は &#65533; "
                                                 "に置き換わります。")
                                      .arg(styleName));
    return true;
}

tavo::Style TPagesDlg::editedStyle(bool* usedCharacterReferences) const {
    bool references = false;
    auto line = [&references](const QString& text) {
        Cp932Text bytes = ToCp932(FirstLine(text));
        references = references || bytes.usedCharacterReferences;
        return std::move(bytes.bytes);
    };
    auto block = [&references](const QPlainTextEdit* memo) {
        Cp932Text bytes = MemoToCp932(memo->toPlainText());
        references = references || bytes.usedCharacterReferences;
        return std::move(bytes.bytes);
    };
    tavo::Style style;
    style.yearStyle = std::to_string(SelectedIndex(yearStyleCombo_));
    style.monthStyle = std::to_string(SelectedIndex(monthStyleCombo_));
    style.dayStyle = std::to_string(SelectedIndex(dayStyleCombo_));
    style.weekdayStyle = std::to_string(SelectedIndex(weekdayStyleCombo_));
    const QLineEdit* edits[] = {beforeYearEdit_, afterYearEdit_,    afterMonthEdit_,
                                afterDayEdit_,   afterWeekdayEdit_, afterTitleEdit_};
    for (size_t i = 0; i < style.affixes.size(); ++i)
        style.affixes[i] = line(edits[i]->text());
    style.head = block(headMemo_);
    style.mid = block(betweenMemo_);
    style.foot = block(footMemo_);
    style.diaryTop = block(aboveBodyMemo_);
    style.diaryBottom = block(belowBodyMemo_);
    style.useTitle = useTitleCheck_->isChecked() ? "1" : "0";
    style.useBody = useBodyCheck_->isChecked() ? "1" : "0";
    if (usedCharacterReferences)
        *usedCharacterReferences = references;
    return style;
}

bool TPagesDlg::SaveStyle(const std::filesystem::path& path, std::string* error,
                          bool* usedCharacterReferences) {
    return tavo::WriteLines(path, tavo::StyleLines(editedStyle(usedCharacterReferences)), error);
}

void TPagesDlg::onOk() {
    const QString name = styleNameEdit_->text();
    if (name.isEmpty()) {
        MessageBox::message(this, QStringLiteral("スタイル名を入力してください"));
        return;
    }
    const std::string fileName = name.toStdString();
    if (const std::string problem = tavo::StyleNameProblem(fileName); !problem.empty()) {
        MessageBox::message(this, QString::fromStdString(problem));
        return;
    }
    const std::filesystem::path path = tavo::StylePath(diary_->paths().programFolder, fileName);
    std::error_code ec;
    // The style being edited is replaced without a question; another one only when the
    // user agrees.
    if (styleNameEdit_->isModified() && std::filesystem::exists(path, ec) &&
        !MessageBox::warningOkCancel(
            this, QStringLiteral("「%1」というスタイルは存在します\r上書きしますか？").arg(name)))
        return;
    std::string error;
    bool references = false;
    if (!SaveStyle(path, &error, &references)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (references)
        MessageBox::message(this, QStringLiteral("Shift_JIS (CP932) で表せない文字を &#番号; の形 "
                                                 "(数値文字参照) で保存しました。\nHTML "
                                                 "では元の文字として表示されます。"));
    accept();
}

void TPagesDlg::onCancel() {
    reject();
}
