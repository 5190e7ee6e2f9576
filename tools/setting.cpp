#include "setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <system_error>

#include "uikit/desktop.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"
#include "common/ui_text.h"
#include "core/user_settings.h"

namespace {

constexpr int kSizeCount = 6;  // 9 to 14 points

}  // namespace

TSet_Form::TSet_Form(const std::filesystem::path& userSettingsFile, QWidget* parent)
    : QDialog(parent), userSettingsFile_(userSettingsFile) {
    setObjectName(QStringLiteral("Set_Form"));
    setWindowTitle(QStringLiteral("環境設定"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    Edit1 = new QLineEdit(this);
    named(Edit1, "Edit1");
    Edit1->setMinimumWidth(220);
    ComboBox1 = new QComboBox(this);
    named(ComboBox1, "ComboBox1");
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i < kSizeCount; ++i)
        ComboBox1->addItem(QString::number(i + tavo::kFontSizeIndexOffset));
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("10"));

    auto swatch = [this, named](const char* name, const QColor& color) {
        auto* frame = new QFrame(this);
        named(frame, name);
        frame->setFrameShape(QFrame::Panel);
        frame->setFrameShadow(QFrame::Sunken);
        frame->setFixedSize(60, 22);
        frame->setAutoFillBackground(true);
        setSwatch(frame, color);
        return frame;
    };
    Panel1 = swatch("Panel1", Qt::black);
    Panel2 = swatch("Panel2", Qt::white);
    auto* button3 = new QPushButton(QStringLiteral("選択"), this);
    named(button3, "Button3");
    connect(button3, &QPushButton::clicked, this, &TSet_Form::Button3Click);
    auto* button4 = new QPushButton(QStringLiteral("選択"), this);
    named(button4, "Button4");
    connect(button4, &QPushButton::clicked, this, &TSet_Form::Button4Click);
    CheckBox1 = new QCheckBox(QStringLiteral("自動的にIMEを起動する"), this);
    named(CheckBox1, "CheckBox1");
    Edit2 = new QLineEdit(this);
    named(Edit2, "Edit2");
    Edit2->setPlaceholderText(QStringLiteral("空欄: プログラムフォルダの backup"));
    CheckBox2 = new QCheckBox(QStringLiteral("終了時にバックアップを作成する"), this);
    named(CheckBox2, "CheckBox2");
    CheckBox2->setChecked(true);

    auto* button5 = new QPushButton(QStringLiteral("OK"), this);
    named(button5, "Button5");
    button5->setDefault(true);
    connect(button5, &QPushButton::clicked, this, &TSet_Form::Button5Click);
    auto* button6 = new QPushButton(QStringLiteral("Cancel"), this);
    named(button6, "Button6");
    connect(button6, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("日記タイトル"), this), 0, 0);
    grid->addWidget(Edit1, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("フォントサイズ"), this), 1, 0);
    grid->addWidget(ComboBox1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("フォントカラー"), this), 2, 0);
    grid->addWidget(Panel1, 2, 1);
    grid->addWidget(button3, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("背景色"), this), 3, 0);
    grid->addWidget(Panel2, 3, 1);
    grid->addWidget(button4, 3, 2);
    grid->addWidget(CheckBox1, 4, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("バックアップ先"), this), 5, 0);
    grid->addWidget(Edit2, 5, 1, 1, 2);
    grid->addWidget(CheckBox2, 6, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(button5);
    buttons->addWidget(button6);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

void TSet_Form::FormCreate() {
    std::error_code ec;
    if (!std::filesystem::exists(userSettingsFile_, ec))
        return;
    // What cannot be read keeps the initial state; the main window has already told the
    // user about a damaged file at start.
    tavo::UserSettings settings;
    std::string problems, error;
    if (!tavo::ReadUserSettingsFile(userSettingsFile_, &settings, &problems, &error))
        return;
    Edit1->setText(FromCp932(settings.diaryTitle));
    if (settings.fontSizeIndex >= 0 && settings.fontSizeIndex < kSizeCount)
        ComboBox1->setCurrentIndex(settings.fontSizeIndex);
    if (settings.fontColor)
        setSwatch(Panel1, ColorFromValue(*settings.fontColor));
    if (settings.backColor)
        setSwatch(Panel2, ColorFromValue(*settings.backColor));
    if (settings.useInputMethod)
        CheckBox1->setChecked(*settings.useInputMethod);
    Edit2->setText(FromCp932(settings.backupFolder));
    CheckBox2->setChecked(settings.backupsOn);
}

void TSet_Form::setSwatch(QFrame* swatch, const QColor& color) {
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, color);
    swatch->setPalette(palette);
}

QColor TSet_Form::swatchColor(const QFrame* swatch) const {
    return swatch->palette().color(QPalette::Window);
}

void TSet_Form::Button3Click() {
    if (const auto color = ColorPicker::choose(this, colorDialog1Last_)) {
        colorDialog1Last_ = *color;
        setSwatch(Panel1, *color);
    }
}

void TSet_Form::Button4Click() {
    if (const auto color = ColorPicker::choose(this, colorDialog2Last_)) {
        colorDialog2Last_ = *color;
        setSwatch(Panel2, *color);
    }
}

void TSet_Form::Button5Click() {
    // A size typed into the box counts when it is one of the listed sizes.
    const int typed = ComboBox1->findText(ComboBox1->currentText());
    if (typed >= 0)
        ComboBox1->setCurrentIndex(typed);
    if (ComboBox1->currentIndex() < 0)
        ComboBox1->setCurrentIndex(1);

    tavo::UserSettings settings;
    settings.diaryTitle = ToCp932(Edit1->text()).bytes;
    settings.fontSizeIndex = ComboBox1->currentIndex();
    settings.fontColor = ValueFromColor(swatchColor(Panel1));
    settings.backColor = ValueFromColor(swatchColor(Panel2));
    settings.useInputMethod = CheckBox1->isChecked();
    const Cp932Text backupFolder = ToCp932(Edit2->text().trimmed());
    if (backupFolder.usedCharacterReferences) {
        // Stored with "&#NNN;" the name would lead to no folder at the next start.
        MessageBox::error(this, QStringLiteral("バックアップ先の名前に Shift_JIS (CP932) で表せない"
                                               "文字があります: \"%1\"")
                                    .arg(Edit2->text()));
        return;
    }
    settings.backupFolder = backupFolder.bytes;
    settings.backupsOn = CheckBox2->isChecked();
    std::string error;
    if (!tavo::WriteUserSettingsFile(userSettingsFile_, settings, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    accept();
}
