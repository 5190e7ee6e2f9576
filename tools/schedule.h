// The schedule: the private texts of seven days from today, as the plans of those days,
// week by week.
#pragma once

#include <QDate>
#include <QDialog>
#include <QList>
#include <QString>
#include <filesystem>
#include <functional>

#include "common/ui_text.h"
#include "core/date.h"

class QLabel;
class QPushButton;
class QTextEdit;
class DiaryContext;

// "2024/01/05(金)": the Japanese weekday whatever the locale.
QString ScheduleDateText(const QDate& date);

struct ScheduleWeek {
    struct Range {
        int start = 0;
        int length = 0;
        bool operator==(const Range&) const = default;
    };
    QString label;       // "first ～ last"
    QString text;        // lines separated by '\n'
    QList<Range> dates;  // the first occurrence of each day's date text, to be shown red and bold
};

// The seven days from `start`: each date line, the day's private text or "予定なし", and the
// separator. False, with the error, when an entry file cannot be read; `week` then holds
// the days before it.
bool BuildScheduleWeek(const std::filesystem::path& programFolder, const QDate& start,
                       ScheduleWeek* week, QString* error);

class TS_Form : public QDialog {
    Q_OBJECT

public:
    TS_Form(DiaryContext* diary, QWidget* mainWindow);

    // Where "today" comes from; tests set a fixed day.
    void setClock(std::function<QDate()> today) { today_ = std::move(today); }
    QDate WeekStart() const { return weekStart_; }

    void ShowWeek(const QDate& start);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void placeBesideMainWindow();
    void Button1Click();
    void Button2Click();

    DiaryContext* diary_;
    QWidget* mainWindow_;
    std::function<QDate()> today_ = [] { return ToQDate(tavo::Today()); };
    QDate weekStart_;
    bool placedWithFrame_ = false;
    QLabel* Label1 = nullptr;
    QTextEdit* RichEdit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
};
