#include "main_window/password.h"

#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "common/ui_text.h"
#include "core/settings.h"
#include "main_window/sdimain.h"
#include "uikit/message_box.h"

TPasswordDlg::TPasswordDlg(TSDIAppForm* mainWindow)
    : PasswordForm(mainWindow), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("PasswordDlg"));
    connect(okButton_, &QPushButton::clicked, this, &TPasswordDlg::onOk);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void TPasswordDlg::showEvent(QShowEvent* event) {
    PasswordForm::showEvent(event);
    // A window restored from the task bar is shown again by the system: what the user
    // typed stays.
    if (!event->spontaneous())
        onShow();
}

void TPasswordDlg::onShow() {
    centreOnScreen();
    // The password of the last lock is offered again; none before the first exit.
    std::string stored, error;
    if (!tavo::ReadLockPassword(mainWindow_->paths().settingsFile, &stored, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        stored.clear();
    }
    passwordEdit_->setText(FromCp932(stored));
    passwordEdit_->selectAll();
    passwordEdit_->setFocus();
}

void TPasswordDlg::onOk() {
    accept();
    // Ending the program must not lose what was typed: a day that cannot be saved stops
    // the lock, and the program goes on.
    if (!mainWindow_->saveIfModified() || !mainWindow_->writeSettings())
        return;
    const QString password = passwordEdit_->text();
    if (password.isEmpty()) {
        MessageBox::warningOk(mainWindow_, QStringLiteral("パスワードを設定してください"));
        return;
    }
    std::string error;
    if (!tavo::WriteLockPassword(mainWindow_->paths().settingsFile, ToCp932(password).bytes,
                                 &error)) {
        MessageBox::error(mainWindow_, QString::fromStdString(error));
        return;
    }
    mainWindow_->endWithoutCloseQuery();
}
