// Every message box of the program goes through here, so that tests can answer them
// instead of a person (setResponder) and see what was asked.
#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

class MessageBox {
public:
    enum class Kind { Warning, Message, Error, Question };
    enum class Button { Ok, Cancel, Yes, Trust, ReadOnly, TakeOver, End };

    struct Shown {
        Kind kind;
        QString caption;
        QString text;
        QList<Button> buttons;
    };

    // Warning box "警告" with "OK" and "キャンセル"; true when the user chose OK.
    static bool warningOkCancel(QWidget* parent, const QString& text);
    // Warning box "警告" whose only button is "OK".
    static void warningOk(QWidget* parent, const QString& text);
    // Warning box "警告" whose only button is "はい(&Y)".
    static void warningYes(QWidget* parent, const QString& text);
    // The caption of the plain, question and error boxes: "Tavo", or the diary's title
    // followed by " - Tavo". Kept here rather than as Qt's application display name,
    // which desktops append to every window caption.
    static void setApplicationTitle(const QString& title);
    static QString applicationTitle();

    // Plain message box: the application title as caption, one "OK" button, no icon.
    static void message(QWidget* parent, const QString& text);
    // Question box (application title, question icon) with "はい(&Y)" and "キャンセル";
    // true for yes.
    static bool questionYesCancel(QWidget* parent, const QString& text);
    // Warning box "警告" with "信頼する(&T)" and "キャンセル", cancelling by default; true
    // when the user chose to trust.
    static bool warningTrustCancel(QWidget* parent, const QString& text);
    // Warning box "警告" with "読み取り専用で開く", "引き継ぐ" and "終了": the choice for a
    // diary another program holds. "終了" is what Enter and closing the box mean.
    static Button warningReadOnlyTakeOverEnd(QWidget* parent, const QString& text);
    // The standard error box, showing the text of a file or conversion error.
    static void error(QWidget* parent, const QString& text);

    using Responder = std::function<Button(const Shown&)>;
    // While a responder is set, boxes are not shown: the responder answers them.
    static void setResponder(Responder responder);

private:
    static Button show(QWidget* parent, const Shown& shown);
};
