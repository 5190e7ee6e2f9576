#include "date_picker.h"

#include <QDateEdit>
#include <QLocale>

QDateEdit* MakeDatePicker(QWidget* parent, const char* objectName) {
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QString::fromLatin1(objectName));
    picker->setLocale(QLocale(QLocale::Japanese, QLocale::Japan));
    picker->setDisplayFormat(QStringLiteral("yyyy年M月d日(ddd)"));
    picker->setCalendarPopup(true);
    // Entry files are named by four-digit years.
    picker->setDateRange(QDate(1601, 1, 1), QDate(9999, 12, 31));
    return picker;
}
