#include "main_window/pw_start.h"

#include <QLineEdit>
#include <QPushButton>

#include "common/ui_text.h"
#include "core/settings.h"
#include "main_window/sdimain.h"
#include "uikit/message_box.h"

TStartDlg::TStartDlg(TSDIAppForm* mainWindow) : mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("StartDlg"));
    connect(OKBtn, &QPushButton::clicked, this, &TStartDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TStartDlg::CancelBtnClick);
    // Escape and the window frame's close button reject the dialog: both count as Cancel.
    connect(this, &QDialog::rejected, this, &TStartDlg::CancelBtnClick);
}

void TStartDlg::showInstead() {
    Password->clear();
    centreOnScreen();
    show();
    Password->setFocus();
}

void TStartDlg::OKBtnClick() {
    std::string stored, error;
    if (!tavo::ReadLockPassword(mainWindow_->paths().settingsFile, &stored, &error)) {
        MessageBox::error(this, QString::fromStdString(error));
        mainWindow_->endWithoutCloseQuery();
        return;
    }
    // Compared as the bytes that were stored: letter case counts.
    if (ToCp932(Password->text()).bytes != stored) {
        mainWindow_->endWithoutCloseQuery();
        return;
    }
    hide();
    mainWindow_->show();
}

void TStartDlg::CancelBtnClick() {
    hide();
    mainWindow_->endWithoutCloseQuery();
}
