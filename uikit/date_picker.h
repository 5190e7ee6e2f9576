#pragma once

#include <QCalendarWidget>
#include <QDate>
#include <QList>
#include <functional>

class QDateEdit;
class QWidget;

// The days from `first` to `last` that have an entry, asked each time the pop-up calendar
// opens or turns to another month, so that it never shows a stale diary.
using EntryDaysOfMonth = std::function<QList<QDate>(QDate first, QDate last)>;

// The pop-up calendar of every picker: the days with an entry in bold, today framed.
class DiaryCalendar : public QCalendarWidget {
public:
    DiaryCalendar(QWidget* parent, EntryDaysOfMonth entryDays);

protected:
    void showEvent(QShowEvent* event) override;
    void paintCell(QPainter* painter, const QRect& rect, QDate date) const override;

private:
    void markEntryDays(int year, int month);

    EntryDaysOfMonth entryDays_;
};

// A date picker as every window of the program shows one: "2004年1月5日(月)", with a
// drop-down calendar and the Japanese weekday whatever the system's language. The calendar
// frames today and shows in bold the days `entryDays` names.
QDateEdit* MakeDatePicker(QWidget* parent, const char* objectName, EntryDaysOfMonth entryDays = {});

namespace tavo {
class EntryStore;
}
// The days listed in the diary's index; none when the index cannot be read (the main
// window reports that).
EntryDaysOfMonth EntryDaysFromIndex(const tavo::EntryStore* store);
