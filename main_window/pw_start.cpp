#include "main_window/pw_start.h"

#include <QLineEdit>
#include <QPushButton>

#include "common/ui_text.h"
#include "core/settings.h"
#include "main_window/sdimain.h"
#include "uikit/message_box.h"

TStartDlg::TStartDlg(TSDIAppForm* mainWindow) : mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("StartDlg"));
    connect(okButton_, &QPushButton::clicked, this, &TStartDlg::onOk);
    connect(cancelButton_, &QPushButton::clicked, this, &TStartDlg::onCancel);
    // Escape and the window frame's close button reject the dialog: both count as Cancel.
    connect(this, &QDialog::rejected, this, &TStartDlg::onCancel);
}

void TStartDlg::showInstead() {
    passwordEdit_->clear();
    centreOnScreen();
    show();
    passwordEdit_->setFocus();
}

void TStartDlg::onOk() {
    std::string stored, error;
    if (!tavo::ReadLockPassword(mainWindow_->paths().settingsFile, &stored, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        mainWindow_->endWithoutCloseQuery();
        return;
    }
    // Compared as the bytes that were stored: letter case counts.
    if (ToCp932(passwordEdit_->text()).bytes != stored) {
        mainWindow_->endWithoutCloseQuery();
        return;
    }
    hide();
    mainWindow_->show();
}

void TStartDlg::onCancel() {
    hide();
    mainWindow_->endWithoutCloseQuery();
}
