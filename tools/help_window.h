// Tavo's help: the program's own Japanese manual, shown in a window of its own.
#pragma once

#include <QWidget>

class QTextBrowser;

inline constexpr char kHelpFile[] = "qrc:/help/tavohelp.html";

class THelpForm : public QWidget {
    Q_OBJECT

public:
    explicit THelpForm(QWidget* parent = nullptr);

private:
    QTextBrowser* browser_ = nullptr;
};
