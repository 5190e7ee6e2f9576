// The one place where the UI's Unicode text meets the code page 932 bytes the files hold,
// and where dates and paths cross between Qt and the core.
#pragma once

#include <QDate>
#include <QString>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/date.h"

struct Cp932Text {
    std::string bytes;
    bool usedCharacterReferences = false;  // some characters were kept as &#NNN;
};

// Single-line text (a title, a settings value).
Cp932Text ToCp932(const QString& text);
QString FromCp932(std::string_view bytes, bool* hadInvalidBytes = nullptr);

// Memo text: the editors use LF between lines, files use CR LF.
Cp932Text MemoToCp932(const QString& text);
QString MemoFromCp932(std::string_view bytes, bool* hadInvalidBytes = nullptr);

tavo::Date ToDate(const QDate& date);
QDate ToQDate(const tavo::Date& date);

// "2004年1月5日(月)": the day caption, with the Japanese weekday whatever the locale.
QString DayCaption(const QDate& date);
// The Japanese abbreviated weekday name ("月").
QString JapaneseWeekday(const QDate& date);

QString FromPath(const std::filesystem::path& path);
std::filesystem::path ToPath(const QString& path);
