#include "main_window/conflict_dialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ui_text.h"

namespace {

// Enough to tell the versions apart; the whole texts are in the files.
constexpr int kPreviewCharacters = 300;

TConflictDlg::Responder& CurrentResponder() {
    static TConflictDlg::Responder responder;
    return responder;
}

QString Preview(const QString& text) {
    if (text.size() <= kPreviewCharacters)
        return text;
    qsizetype end = kPreviewCharacters;
    if (text.at(end - 1).isHighSurrogate())
        --end;  // a character outside the basic plane is not cut in half
    return text.left(end) + QStringLiteral("…");
}

QString QuestionText(TConflictDlg::Situation situation) {
    switch (situation) {
        case TConflictDlg::Situation::ChangedBeforeSave:
            return QStringLiteral(
                "この日の日記は、画面に読み込んだ後にほかのプログラムで書き換えられています。\n"
                "どちらの版を残すか選んでください。");
        case TConflictDlg::Situation::ChangedBeforeDelete:
            return QStringLiteral(
                "削除しようとしているこの日の日記は、画面に読み込んだ後にほかのプログラムで"
                "書き換えられています。\nどちらの版を残すか選んでください。");
        case TConflictDlg::Situation::ConflictCopy:
            return QStringLiteral(
                "同期ツールが、この日の日記の別の版を残しています。\n"
                "どちらの版を残すか選んでください。");
    }
    return {};
}

QLabel* PlainLabel(const QString& text, const char* name, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);  // a title may hold "<" and "&"
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setWordWrap(true);
    return label;
}

QPlainTextEdit* PreviewBox(const QString& text, const char* name, QWidget* parent) {
    auto* box = new QPlainTextEdit(Preview(text), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    return box;
}

// One version: its label as the frame's caption, the title, the start of both memos and,
// when known, when it was written.
QGroupBox* VersionBox(const ConflictVersion& version, const char* name, QWidget* parent) {
    auto* box = new QGroupBox(version.label, parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("題名"), PlainLabel(version.texts.title, "TitleLabel", box));
    form->addRow(QStringLiteral("公開"), PreviewBox(version.texts.publicText, "PublicText", box));
    form->addRow(QStringLiteral("非公開"),
                 PreviewBox(version.texts.privateText, "PrivateText", box));
    if (version.modified.isValid())
        form->addRow(QStringLiteral("更新日時"),
                     PlainLabel(version.modified.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                                "TimeLabel", box));
    return box;
}

QString MarkedText(const QString& mine, const QString& theirs, const QString& mineLabel,
                   const QString& theirLabel) {
    if (mine == theirs)
        return mine;
    return QStringLiteral("<<<<<<< ") + mineLabel + QLatin1Char('\n') + mine +
           QStringLiteral("\n=======\n") + theirs + QStringLiteral("\n>>>>>>> ") + theirLabel +
           QLatin1Char('\n');
}

}  // namespace

QString MineVersionLabel() {
    return QStringLiteral("この画面の版");
}

QString DiskVersionLabel() {
    return QStringLiteral("ディスクの版");
}

ConflictVersion VersionFromEntry(const QString& label, const tavo::Entry& entry,
                                 std::chrono::system_clock::time_point modified) {
    const auto sinceEpoch =
        std::chrono::duration_cast<std::chrono::milliseconds>(modified.time_since_epoch());
    return {
        label,
        {FromCp932(entry.title), MemoFromCp932(entry.publicText), MemoFromCp932(entry.privateText)},
        QDateTime::fromMSecsSinceEpoch(sinceEpoch.count())};
}

DayTexts MergedByHand(const ConflictVersion& mine, const ConflictVersion& theirs) {
    const DayTexts& a = mine.texts;
    const DayTexts& b = theirs.texts;
    return {a.title == b.title ? a.title : a.title + QStringLiteral(" ／ ") + b.title,
            MarkedText(a.publicText, b.publicText, mine.label, theirs.label),
            MarkedText(a.privateText, b.privateText, mine.label, theirs.label)};
}

TConflictDlg::TConflictDlg(const ConflictVersion& mine, const ConflictVersion& theirs,
                           Situation situation, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ConflictDlg"));
    setWindowTitle(QStringLiteral("同じ日の二つの版"));

    auto* question = new QLabel(QuestionText(situation), this);
    question->setObjectName(QStringLiteral("Label1"));
    auto* versions = new QHBoxLayout;
    versions->addWidget(VersionBox(mine, "GroupBox1", this), 1);
    versions->addWidget(VersionBox(theirs, "GroupBox2", this), 1);

    auto* buttons = new QHBoxLayout;
    const struct {
        const char* name;
        QString caption;
        Choice choice;
    } choices[] = {
        {"Button1", QStringLiteral("この版を残す"), Choice::KeepMine},
        {"Button2", QStringLiteral("相手の版を残す"), Choice::KeepTheirs},
        {"Button3", QStringLiteral("手で合わせる"), Choice::MergeByHand},
    };
    for (const auto& c : choices) {
        auto* button = new QPushButton(c.caption, this);
        button->setObjectName(QString::fromLatin1(c.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, choice = c.choice] { choose(choice); });
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cancel->setObjectName(QStringLiteral("Button4"));
    // Return, like Escape, leaves both versions as they are.
    cancel->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addLayout(versions, 1);
    layout->addLayout(buttons);
    resize(760, 480);
}

void TConflictDlg::choose(Choice choice) {
    choice_ = choice;
    accept();
}

TConflictDlg::Choice TConflictDlg::ask(QWidget* parent, const ConflictVersion& mine,
                                       const ConflictVersion& theirs, Situation situation) {
    if (CurrentResponder())
        return CurrentResponder()({situation, mine, theirs});
    TConflictDlg dialog(mine, theirs, situation, parent);
    dialog.exec();
    return dialog.choice();
}

void TConflictDlg::setResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}
