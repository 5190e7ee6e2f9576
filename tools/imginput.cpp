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

#include "uikit/message_box.h"
#include "common/ui_text.h"
#include "core/date.h"
#include "core/text_file.h"

TImgForm::TImgForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ImgForm"));
    setWindowTitle(QStringLiteral("img 挿入"));
    setModal(true);

    CheckBox1 = new QCheckBox(QStringLiteral("画像をTavoで管理する"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    connect(CheckBox1, &QCheckBox::toggled, this, &TImgForm::CheckBox1Click);

    auto* grid = new QGridLayout;
    const struct {
        QLineEdit** field;
        const char* name;
        const char* label;
        const char* initial;
    } fields[] = {
        {&Edit1, "Edit1", "src ", ""},      {&Edit2, "Edit2", "width", ""},
        {&Edit3, "Edit3", "height", ""},    {&Edit4, "Edit4", "alt", ""},
        {&Edit5, "Edit5", "align", "left"}, {&Edit6, "Edit6", "border ", "1"},
        {&Edit7, "Edit7", "hspace", "5"},   {&Edit8, "Edit8", "vspace", "5"},
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
    Edit1->setMinimumWidth(240);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TImgForm::Button1Click);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CheckBox1);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TImgForm::showForDrop(const QString& sourceImagePath, const tavo::ImageSize& size,
                           const QDate& entryDate, const std::filesystem::path& programFolder) {
    SourceImagePath = sourceImagePath;
    entryDate_ = entryDate;
    programFolder_ = programFolder;
    Edit1->setText(QFileInfo(sourceImagePath).fileName());
    Edit2->setText(QString::number(size.width));
    Edit3->setText(QString::number(size.height));
    Edit4->clear();
    tag_.clear();
    return exec() == QDialog::Accepted;
}

void TImgForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())  // restored from the task bar
        return;
    CheckBox1->setChecked(true);
    CheckBox1Click();
}

void TImgForm::CheckBox1Click() {
    Edit1->setEnabled(!CheckBox1->isChecked());
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
        const QString name = Edit1->text();
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
    if (!tavo::ReadFileBytes(ToPath(SourceImagePath), &bytes, &error) ||
        !tavo::WriteFileAtomically(folder / name, bytes, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        return {};
    }
    return QStringLiteral("tavo-img/") + shownName;
}

void TImgForm::Button1Click() {
    QString source;
    if (CheckBox1->isChecked()) {
        source = copyIntoImageFolder();
        if (source.isEmpty())
            return;
    } else {
        source = Edit1->text();
    }
    QString tag = QStringLiteral("<img src=\"") + source + QStringLiteral("\" ");
    const std::pair<const char*, QLineEdit*> attributes[] = {
        {"width", Edit2}, {"height", Edit3}, {"alt", Edit4},
        {"align", Edit5}, {"border", Edit6}, {"hspace", Edit7},
    };
    for (const auto& [name, field] : attributes)
        if (!field->text().isEmpty())
            tag += QString::fromLatin1(name) + QStringLiteral("=\"") + field->text() +
                   QStringLiteral("\" ");
    tag += Edit8->text().isEmpty()
               ? QStringLiteral(">")
               : QStringLiteral("vspace=\"") + Edit8->text() + QStringLiteral("\">");
    tag_ = tag;
    accept();
}
