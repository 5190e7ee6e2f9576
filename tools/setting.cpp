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

#include "common/ui_text.h"
#include "core/user_settings.h"
#include "uikit/desktop.h"
#include "uikit/editor_font.h"
#include "uikit/message_box.h"

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
    diaryTitleEdit_ = new QLineEdit(this);
    named(diaryTitleEdit_, "Edit1");
    diaryTitleEdit_->setMinimumWidth(220);
    fontSizeCombo_ = new QComboBox(this);
    named(fontSizeCombo_, "ComboBox1");
    fontSizeCombo_->setEditable(true);
    fontSizeCombo_->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i < kSizeCount; ++i)
        fontSizeCombo_->addItem(QString::number(i + tavo::kFontSizeIndexOffset));
    fontSizeCombo_->setCurrentIndex(-1);
    fontSizeCombo_->setEditText(QStringLiteral("10"));

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
    fontColorSwatch_ = swatch("Panel1", Qt::black);
    backColorSwatch_ = swatch("Panel2", Qt::white);
    auto* button3 = new QPushButton(QStringLiteral("選択"), this);
    named(button3, "Button3");
    connect(button3, &QPushButton::clicked, this, &TSet_Form::onChooseFontColor);
    auto* button4 = new QPushButton(QStringLiteral("選択"), this);
    named(button4, "Button4");
    connect(button4, &QPushButton::clicked, this, &TSet_Form::onChooseBackColor);
    inputMethodCheck_ = new QCheckBox(QStringLiteral("自動的にIMEを起動する"), this);
    named(inputMethodCheck_, "CheckBox1");
    backupFolderEdit_ = new QLineEdit(this);
    named(backupFolderEdit_, "Edit2");
    backupFolderEdit_->setPlaceholderText(QStringLiteral("空欄: プログラムフォルダの backup"));
    backupsOnCheck_ = new QCheckBox(QStringLiteral("終了時にバックアップを作成する"), this);
    named(backupsOnCheck_, "CheckBox2");
    backupsOnCheck_->setChecked(true);

    auto* button5 = new QPushButton(QStringLiteral("OK"), this);
    named(button5, "Button5");
    button5->setDefault(true);
    connect(button5, &QPushButton::clicked, this, &TSet_Form::onOk);
    auto* button6 = new QPushButton(QStringLiteral("Cancel"), this);
    named(button6, "Button6");
    connect(button6, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("日記タイトル"), this), 0, 0);
    grid->addWidget(diaryTitleEdit_, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("フォントサイズ"), this), 1, 0);
    grid->addWidget(fontSizeCombo_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("フォントカラー"), this), 2, 0);
    grid->addWidget(fontColorSwatch_, 2, 1);
    grid->addWidget(button3, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("背景色"), this), 3, 0);
    grid->addWidget(backColorSwatch_, 3, 1);
    grid->addWidget(button4, 3, 2);
    grid->addWidget(inputMethodCheck_, 4, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("バックアップ先"), this), 5, 0);
    grid->addWidget(backupFolderEdit_, 5, 1, 1, 2);
    grid->addWidget(backupsOnCheck_, 6, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(button5);
    buttons->addWidget(button6);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    loadSettings();
}

void TSet_Form::loadSettings() {
    std::error_code ec;
    if (!std::filesystem::exists(userSettingsFile_, ec))
        return;
    // What cannot be read keeps the initial state; the main window has already told the
    // user about a damaged file at start.
    tavo::UserSettings settings;
    std::string problems, error;
    if (!tavo::ReadUserSettingsFile(userSettingsFile_, &settings, &problems, &error))
        return;
    diaryTitleEdit_->setText(FromCp932(settings.diaryTitle));
    if (settings.fontSizeIndex >= 0 && settings.fontSizeIndex < kSizeCount)
        fontSizeCombo_->setCurrentIndex(settings.fontSizeIndex);
    if (settings.fontColor)
        setSwatch(fontColorSwatch_, ColorFromValue(*settings.fontColor));
    if (settings.backColor)
        setSwatch(backColorSwatch_, ColorFromValue(*settings.backColor));
    if (settings.useInputMethod)
        inputMethodCheck_->setChecked(*settings.useInputMethod);
    backupFolderEdit_->setText(FromCp932(settings.backupFolder));
    backupsOnCheck_->setChecked(settings.backupsOn);
}

void TSet_Form::setSwatch(QFrame* swatch, const QColor& color) {
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, color);
    swatch->setPalette(palette);
}

QColor TSet_Form::swatchColor(const QFrame* swatch) const {
    return swatch->palette().color(QPalette::Window);
}

void TSet_Form::onChooseFontColor() {
    if (const auto color = ColorPicker::choose(this, lastFontColor_)) {
        lastFontColor_ = *color;
        setSwatch(fontColorSwatch_, *color);
    }
}

void TSet_Form::onChooseBackColor() {
    if (const auto color = ColorPicker::choose(this, lastBackColor_)) {
        lastBackColor_ = *color;
        setSwatch(backColorSwatch_, *color);
    }
}

void TSet_Form::onOk() {
    // A size typed into the box counts when it is one of the listed sizes.
    const int typed = fontSizeCombo_->findText(fontSizeCombo_->currentText());
    if (typed >= 0)
        fontSizeCombo_->setCurrentIndex(typed);
    if (fontSizeCombo_->currentIndex() < 0)
        fontSizeCombo_->setCurrentIndex(1);

    tavo::UserSettings settings;
    settings.diaryTitle = ToCp932(diaryTitleEdit_->text()).bytes;
    settings.fontSizeIndex = fontSizeCombo_->currentIndex();
    settings.fontColor = ValueFromColor(swatchColor(fontColorSwatch_));
    settings.backColor = ValueFromColor(swatchColor(backColorSwatch_));
    settings.useInputMethod = inputMethodCheck_->isChecked();
    const Cp932Text backupFolder = ToCp932(backupFolderEdit_->text().trimmed());
    if (backupFolder.usedCharacterReferences) {
        // Stored with "&#NNN;" the name would lead to no folder at the next start.
        MessageBox::error(this, QStringLiteral("バックアップ先の名前に Shift_JIS (CP932) で表せない"
                                               "文字があります: \"%1\"")
                                    .arg(backupFolderEdit_->text()));
        return;
    }
    settings.backupFolder = backupFolder.bytes;
    settings.backupsOn = backupsOnCheck_->isChecked();
    std::string error;
    if (!tavo::WriteUserSettingsFile(userSettingsFile_, settings, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return;
    }
    if (saved)
        saved(settings);
    accept();
}
