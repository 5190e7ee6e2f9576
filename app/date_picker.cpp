#include "date_picker.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QLocale>
#include <QPainter>
#include <QTextCharFormat>

#include "core/date.h"
#include "core/entry_store.h"
#include "core/navigation.h"
#include "ui_text.h"

DiaryCalendar::DiaryCalendar(QWidget* parent, EntryDaysOfMonth entryDays)
    : QCalendarWidget(parent), entryDays_(std::move(entryDays)) {
    connect(this, &QCalendarWidget::currentPageChanged, this,
            [this](int year, int month) { markEntryDays(year, month); });
}

void DiaryCalendar::showEvent(QShowEvent* event) {
    markEntryDays(yearShown(), monthShown());
    QCalendarWidget::showEvent(event);
}

void DiaryCalendar::paintCell(QPainter* painter, const QRect& rect, QDate date) const {
    QCalendarWidget::paintCell(painter, rect, date);
    if (date != QDate::currentDate())
        return;
    painter->save();
    painter->setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    painter->restore();
}

// The page shows the end of the month before and the start of the next as well.
void DiaryCalendar::markEntryDays(int year, int month) {
    setDateTextFormat(QDate(), QTextCharFormat());
    if (!entryDays_)
        return;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    const QDate first(year, month, 1);
    for (const QDate& shown : {first.addMonths(-1), first, first.addMonths(1)}) {
        for (int day : entryDays_(shown.year(), shown.month()))
            setDateTextFormat(QDate(shown.year(), shown.month(), day), bold);
    }
}

QDateEdit* MakeDatePicker(QWidget* parent, const char* objectName, EntryDaysOfMonth entryDays) {
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QString::fromLatin1(objectName));
    picker->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    picker->setDisplayFormat(QStringLiteral("yyyy年M月d日(ddd)"));
    picker->setCalendarPopup(true);
    picker->setCalendarWidget(new DiaryCalendar(picker, std::move(entryDays)));
    picker->setDateRange(ToQDate(tavo::kFirstPickableDate), ToQDate(tavo::kLastPickableDate));
    return picker;
}

EntryDaysOfMonth EntryDaysFromIndex(const tavo::EntryStore* store) {
    return [store](int year, int month) {
        std::vector<std::string> index;
        std::string error;
        QList<int> days;
        if (store->ReadIndex(&index, &error)) {
            for (int day : tavo::EntryDaysInMonth(index, year, month))
                days.append(day);
        }
        return days;
    };
}
