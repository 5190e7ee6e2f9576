// The about box: name, version and a link to the home page.
#pragma once

#include <QDialog>

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* link_ = nullptr;
};
