// The look both password dialogs share: a masked field, OK and キャンセル.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

class PasswordForm : public QDialog {
    Q_OBJECT

public:
    explicit PasswordForm(QWidget* parent = nullptr);

protected:
    QLineEdit* passwordEdit_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;

    // Places the dialog in the middle of the screen, as it appears on its own.
    void centreOnScreen();
};
