#include "uikit/date_picker.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QEvent>
#include <QLocale>
#include <QPainter>
#include <QTextCharFormat>

#include "common/ui_text.h"
#include "core/date.h"
#include "core/entry_store.h"
#include "core/navigation.h"

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
    if (date != ToQDate(tavo::Today()))
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
    const QDate first = QDate(year, month, 1).addMonths(-1);
    for (const QDate& day : entryDays_(first, first.addMonths(3).addDays(-1)))
        setDateTextFormat(day, bold);
}

namespace {

// Gives a picker its calendar when it is first pressed or typed into: made at once, the
// pickers' calendars would take the start longer than the main window itself.
class CalendarOnFirstUse : public QObject {
public:
    CalendarOnFirstUse(QDateEdit* picker, EntryDaysOfMonth entryDays)
        : QObject(picker), entryDays_(std::move(entryDays)) {
        picker->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::KeyPress)
            return false;
        auto* picker = static_cast<QDateEdit*>(watched);
        picker->removeEventFilter(this);
        picker->setCalendarWidget(new DiaryCalendar(picker, std::move(entryDays_)));
        deleteLater();
        return false;  // the press goes on to open the calendar
    }

private:
    EntryDaysOfMonth entryDays_;
};

}  // namespace

QDateEdit* MakeDatePicker(QWidget* parent, const char* objectName, EntryDaysOfMonth entryDays) {
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QString::fromLatin1(objectName));
    picker->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    picker->setDisplayFormat(QStringLiteral("yyyy年M月d日(ddd)"));
    picker->setCalendarPopup(true);
    new CalendarOnFirstUse(picker, std::move(entryDays));
    picker->setDateRange(ToQDate(tavo::kFirstPickableDate), ToQDate(tavo::kLastPickableDate));
    return picker;
}

EntryDaysOfMonth EntryDaysFromIndex(const tavo::EntryStore* store) {
    return [store](QDate first, QDate last) {
        std::vector<std::string> index;
        std::string error;
        QList<QDate> days;
        if (store->ReadIndex(&index, &error)) {
            for (const tavo::Date& day :
                 tavo::EntryDatesBetween(index, ToDate(first), ToDate(last)))
                days.append(ToQDate(day));
        }
        return days;
    };
}
