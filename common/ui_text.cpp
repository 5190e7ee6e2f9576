#include "common/ui_text.h"

#include <QLocale>

#include "core/cp932.h"

namespace {

std::u16string_view Utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

}  // namespace

Cp932Text ToCp932(const QString& text) {
    tavo::Cp932EncodeResult encoded = tavo::EncodeCp932(Utf16(text));
    return {std::move(encoded.bytes), encoded.usedCharacterReferences};
}

QString FromCp932(std::string_view bytes, bool* hadInvalidBytes) {
    const tavo::Cp932DecodeResult decoded = tavo::DecodeCp932(bytes);
    if (hadInvalidBytes)
        *hadInvalidBytes = decoded.hadInvalidBytes;
    return QString::fromUtf16(decoded.text.data(), static_cast<qsizetype>(decoded.text.size()));
}

Cp932Text MemoToCp932(const QString& text) {
    QString crlf = text;
    crlf.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return ToCp932(crlf);
}

QString MemoFromCp932(std::string_view bytes, bool* hadInvalidBytes) {
    QString text = FromCp932(bytes, hadInvalidBytes);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

tavo::Date ToDate(const QDate& date) {
    return {date.year(), date.month(), date.day()};
}

QDate ToQDate(const tavo::Date& date) {
    return QDate(date.year, date.month, date.day);
}

QString JapaneseWeekday(const QDate& date) {
    static const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    return japanese.dayName(date.dayOfWeek(), QLocale::ShortFormat);
}

QString DayCaption(const QDate& date) {
    return QStringLiteral("%1年%2月%3日(%4)")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month())
        .arg(date.day())
        .arg(JapaneseWeekday(date));
}

QString FromPath(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

std::filesystem::path ToPath(const QString& path) {
    return std::filesystem::path(path.toStdString());
}
