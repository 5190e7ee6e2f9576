// The search dialog: a text, a range of days or the whole diary, and the parts of an entry
// to look in. It reads the saved entry files and hands the hits to the result window.
#pragma once

#include <QDialog>

#include "tools/diary_search.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class TResult_Find;
class DiaryContext;

class TFindForm : public QDialog {
    Q_OBJECT

public:
    TFindForm(DiaryContext* diary, QWidget* mainWindow);

    // The result window is created after this dialog.
    void setResultWindow(TResult_Find* resultWindow) { resultWindow_ = resultWindow; }

    tavo::SearchRequest request() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void RadioButton1Click();
    void RadioButton2Click();
    void Button1Click();

    DiaryContext* diary_;
    QWidget* mainWindow_;
    TResult_Find* resultWindow_ = nullptr;
    QLineEdit* Edit1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QDateEdit* DateTimePicker1 = nullptr;
    QDateEdit* DateTimePicker2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};
