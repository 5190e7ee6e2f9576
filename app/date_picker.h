#pragma once

class QDateEdit;
class QWidget;

// A date picker as every window of the program shows one: "2004年1月5日(月)", with a
// drop-down calendar and the Japanese weekday whatever the system's language.
QDateEdit* MakeDatePicker(QWidget* parent, const char* objectName);
