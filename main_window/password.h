// The lock dialog: stores a password in "tavo.ini" and ends the program.
#pragma once

#include "main_window/password_form.h"

class TSDIAppForm;

class TPasswordDlg : public PasswordForm {
    Q_OBJECT

public:
    explicit TPasswordDlg(TSDIAppForm* mainWindow);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onShow();
    void onOk();

    TSDIAppForm* mainWindow_;
};
