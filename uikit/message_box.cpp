#include "uikit/message_box.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

MessageBox::Responder& CurrentResponder() {
    static MessageBox::Responder responder;
    return responder;
}

QString& CurrentApplicationTitle() {
    static QString title = QStringLiteral("Tavo");
    return title;
}

}  // namespace

void MessageBox::setApplicationTitle(const QString& title) {
    CurrentApplicationTitle() = title;
}

QString MessageBox::applicationTitle() {
    return CurrentApplicationTitle();
}

void MessageBox::setResponder(Responder responder) {
    CurrentResponder() = std::move(responder);
}

bool MessageBox::warningOkCancel(QWidget* parent, const QString& text) {
    return show(parent,
                {Kind::Warning, QStringLiteral("警告"), text, {Button::Ok, Button::Cancel}}) ==
           Button::Ok;
}

void MessageBox::warningOk(QWidget* parent, const QString& text) {
    show(parent, {Kind::Warning, QStringLiteral("警告"), text, {Button::Ok}});
}

void MessageBox::warningYes(QWidget* parent, const QString& text) {
    show(parent, {Kind::Warning, QStringLiteral("警告"), text, {Button::Yes}});
}

void MessageBox::message(QWidget* parent, const QString& text) {
    show(parent, {Kind::Message, applicationTitle(), text, {Button::Ok}});
}

bool MessageBox::questionYesCancel(QWidget* parent, const QString& text) {
    return show(parent,
                {Kind::Question, applicationTitle(), text, {Button::Yes, Button::Cancel}}) ==
           Button::Yes;
}

bool MessageBox::warningTrustCancel(QWidget* parent, const QString& text) {
    return show(parent,
                {Kind::Warning, QStringLiteral("警告"), text, {Button::Trust, Button::Cancel}}) ==
           Button::Trust;
}

MessageBox::Button MessageBox::warningReadOnlyTakeOverEnd(QWidget* parent, const QString& text) {
    return show(parent, {Kind::Warning,
                         QStringLiteral("警告"),
                         text,
                         {Button::ReadOnly, Button::TakeOver, Button::End}});
}

void MessageBox::error(QWidget* parent, const QString& text) {
    show(parent, {Kind::Error, applicationTitle(), text, {Button::Ok}});
}

MessageBox::Button MessageBox::show(QWidget* parent, const Shown& shown) {
    if (CurrentResponder())
        return CurrentResponder()(shown);

    QMessageBox box(parent);
    box.setWindowTitle(shown.caption);
    // A lone carriage return in a message is a line break, as the texts are written.
    QString text = shown.text;
    text.replace(QRegularExpression(QStringLiteral("\r(?!\n)")), QStringLiteral("\n"));
    box.setText(text);
    box.setIcon(shown.kind == Kind::Warning    ? QMessageBox::Warning
                : shown.kind == Kind::Error    ? QMessageBox::Critical
                : shown.kind == Kind::Question ? QMessageBox::Question
                                               : QMessageBox::NoIcon);
    QAbstractButton* first = nullptr;
    QHash<QAbstractButton*, Button> buttons;
    for (Button button : shown.buttons) {
        QPushButton* pushButton = nullptr;
        switch (button) {
            case Button::Ok:
                pushButton = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
                break;
            case Button::Cancel:
                pushButton = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
                break;
            case Button::Yes:
                pushButton = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
                break;
            case Button::Trust:
                pushButton = box.addButton(QStringLiteral("信頼する(&T)"), QMessageBox::AcceptRole);
                break;
            case Button::ReadOnly:
                pushButton =
                    box.addButton(QStringLiteral("読み取り専用で開く"), QMessageBox::AcceptRole);
                break;
            case Button::TakeOver:
                pushButton =
                    box.addButton(QStringLiteral("引き継ぐ"), QMessageBox::DestructiveRole);
                break;
            case Button::End:
                pushButton = box.addButton(QStringLiteral("終了"), QMessageBox::RejectRole);
                break;
        }
        buttons.insert(pushButton, button);
        if (!first)
            first = pushButton;
    }
    // Trusting a certificate is never what Enter does, nor taking over another's diary.
    if (shown.buttons.contains(Button::Trust))
        first = buttons.key(Button::Cancel, first);
    if (shown.buttons.contains(Button::End))
        first = buttons.key(Button::End, first);
    box.setDefaultButton(qobject_cast<QPushButton*>(first));
    box.exec();
    // Closing the box with Escape or its close button counts as its cancelling button.
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked) {
        for (Button cancelling : {Button::Cancel, Button::End})
            if (shown.buttons.contains(cancelling))
                return cancelling;
        return shown.buttons.first();
    }
    return buttons.value(clicked, shown.buttons.first());
}
