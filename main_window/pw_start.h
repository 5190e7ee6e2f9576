// The start dialog: shown instead of the main window while the diary is locked.
#pragma once

#include "main_window/password_form.h"

class TSDIAppForm;

class TStartDlg : public PasswordForm {
    Q_OBJECT

public:
    explicit TStartDlg(TSDIAppForm* mainWindow);

    // Shows the dialog without blocking, in place of the main window.
    void showInstead();

private:
    void onOk();
    void onCancel();

    TSDIAppForm* mainWindow_;
};
