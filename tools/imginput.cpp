#include "imginput.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <system_error>

#include "common/ui_text.h"
#include "core/date.h"
#include "core/text_file.h"
#include "uikit/message_box.h"

TImgForm::TImgForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ImgForm"));
    setWindowTitle(QStringLiteral("img 挿入"));
    setModal(true);

    managedCheck_ = new QCheckBox(QStringLiteral("画像をTavoで管理する"), this);
    managedCheck_->setObjectName(QStringLiteral("CheckBox1"));
    connect(managedCheck_, &QCheckBox::toggled, this, &TImgForm::onManagedToggled);

    auto* grid = new QGridLayout;
    const struct {
        QLineEdit** field;
        const char* name;
        const char* label;
        const char* initial;
    } fields[] = {
        {&srcEdit_, "Edit1", "src ", ""},        {&widthEdit_, "Edit2", "width", ""},
        {&heightEdit_, "Edit3", "height", ""},   {&altEdit_, "Edit4", "alt", ""},
        {&alignEdit_, "Edit5", "align", "left"}, {&borderEdit_, "Edit6", "border ", "1"},
        {&hspaceEdit_, "Edit7", "hspace", "5"},  {&vspaceEdit_, "Edit8", "vspace", "5"},
    };
    int row = 0;
    for (const auto& f : fields) {
        *f.field = new QLineEdit(QString::fromLatin1(f.initial), this);
        (*f.field)->setObjectName(QString::fromLatin1(f.name));
        auto* label = new QLabel(QString::fromLatin1(f.label), this);
        label->setBuddy(*f.field);
        grid->addWidget(label, row, 0);
        grid->addWidget(*f.field, row, 1);
        ++row;
    }
    srcEdit_->setMinimumWidth(240);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TImgForm::onOk);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(managedCheck_);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TImgForm::showForDrop(const QString& sourceImagePath, const tavo::ImageSize& size,
                           const QDate& entryDate, const std::filesystem::path& programFolder) {
    sourceImagePath_ = sourceImagePath;
    entryDate_ = entryDate;
    programFolder_ = programFolder;
    srcEdit_->setText(QFileInfo(sourceImagePath).fileName());
    widthEdit_->setText(QString::number(size.width));
    heightEdit_->setText(QString::number(size.height));
    altEdit_->clear();
    tag_.clear();
    return exec() == QDialog::Accepted;
}

void TImgForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())  // restored from the task bar
        return;
    managedCheck_->setChecked(true);
    onManagedToggled();
}

void TImgForm::onManagedToggled() {
    srcEdit_->setEnabled(!managedCheck_->isChecked());
}

QString TImgForm::copyIntoImageFolder() {
    const std::filesystem::path folder = programFolder_ / "tavo-img";
    std::error_code ec;
    std::filesystem::create_directory(folder, ec);
    if (ec) {
        MessageBox::error(this, QStringLiteral("フォルダを作成できません \"%1\": %2")
                                    .arg(FromPath(folder), QString::fromStdString(ec.message())));
        return {};
    }
    const std::string day = tavo::FormatYyyymmdd(ToDate(entryDate_));
    const QString extension = [this] {
        const QString name = srcEdit_->text();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot < 0 ? QString() : name.mid(dot);
    }();
    std::string error;
    const std::optional<int> highest = tavo::HighestImageNumber(folder, day, &error);
    if (!highest) {
        MessageBox::error(this, QString::fromStdString(error));
        return {};
    }
    const std::string name = tavo::ImageFileName(day, *highest + 1, extension.toStdString());
    const QString shownName = QString::fromStdString(name);
    MessageBox::message(
        this, QStringLiteral("保存される画像ファイル名は\r\n%1\r\nになります").arg(shownName));
    // Through a temporary file, so a copy that fails halfway leaves no broken image behind;
    // a tag that points at a missing copy would show a broken image later.
    std::string bytes;
    if (!tavo::ReadFileBytes(ToPath(sourceImagePath_), &bytes, &error) ||
        !tavo::WriteFileAtomically(folder / name, bytes, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return {};
    }
    return QStringLiteral("tavo-img/") + shownName;
}

void TImgForm::onOk() {
    QString source;
    if (managedCheck_->isChecked()) {
        source = copyIntoImageFolder();
        if (source.isEmpty())
            return;
    } else {
        source = srcEdit_->text();
    }
    QString tag = QStringLiteral("<img src=\"") + source + QStringLiteral("\" ");
    const std::pair<const char*, QLineEdit*> attributes[] = {
        {"width", widthEdit_}, {"height", heightEdit_}, {"alt", altEdit_},
        {"align", alignEdit_}, {"border", borderEdit_}, {"hspace", hspaceEdit_},
    };
    for (const auto& [name, field] : attributes)
        if (!field->text().isEmpty())
            tag += QString::fromLatin1(name) + QStringLiteral("=\"") + field->text() +
                   QStringLiteral("\" ");
    tag += vspaceEdit_->text().isEmpty()
               ? QStringLiteral(">")
               : QStringLiteral("vspace=\"") + vspaceEdit_->text() + QStringLiteral("\">");
    tag_ = tag;
    accept();
}
