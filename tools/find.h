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
    void setInitialState();
    void onShow();
    void onAllEntries();
    void onDateRange();
    void onSearch();

    DiaryContext* diary_;
    QWidget* mainWindow_;
    TResult_Find* resultWindow_ = nullptr;
    QLineEdit* textEdit_ = nullptr;
    QRadioButton* allEntriesRadio_ = nullptr;
    QRadioButton* rangeRadio_ = nullptr;
    QDateEdit* firstDatePicker_ = nullptr;
    QDateEdit* lastDatePicker_ = nullptr;
    QCheckBox* titleCheck_ = nullptr;
    QCheckBox* publicCheck_ = nullptr;
    QCheckBox* privateCheck_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};
