// The about box and the maker's home page.
#pragma once

#include <QDialog>

inline constexpr char kHomePageUrl[] = "https://tavo-diary.example.org/";

// Asks the desktop to open the home page in the default browser.
void GOTOHP();

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
