#include <QObject>
#include <QTest>

#include "common/ui_text.h"
#include "uikit/gui_test_main.h"

class UiTextTest : public QObject {
    Q_OBJECT

private slots:
    void memoTextUsesCrLfInFiles() {
        const Cp932Text encoded = MemoToCp932(QStringLiteral("a\nb"));
        QCOMPARE(QByteArray::fromStdString(encoded.bytes), QByteArray("a\r\nb"));
        QVERIFY(!encoded.usedCharacterReferences);
        QCOMPARE(MemoFromCp932("a\r\nb\rc\nd"), QStringLiteral("a\nb\nc\nd"));
    }

    void japaneseTextRoundTrips() {
        const QString text = QStringLiteral("日記～―①ⅰｱ");
        const Cp932Text encoded = ToCp932(text);
        QCOMPARE(QByteArray::fromStdString(encoded.bytes),
                 QByteArray("\x93\xFA\x8B\x4C\x81\x60\x81\x5C\x87\x40\xFA\x40\xB1"));
        QCOMPARE(FromCp932(encoded.bytes), text);
    }

    void emojiBecomesACharacterReference() {
        const Cp932Text encoded = ToCp932(QStringLiteral("晴れ😀"));
        QCOMPARE(QByteArray::fromStdString(encoded.bytes), QByteArray("\x90\xB0\x82\xEA&#128512;"));
        QVERIFY(encoded.usedCharacterReferences);
    }

    void invalidBytesAreReported() {
        bool invalid = false;
        QCOMPARE(FromCp932("a\x82", &invalid), QStringLiteral("a\uFFFD"));
        QVERIFY(invalid);
    }

    void dayCaptionHasAJapaneseWeekdayWhateverTheLocale() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(DayCaption(QDate(2004, 1, 5)), QStringLiteral("2004年1月5日(月)"));
        QCOMPARE(DayCaption(QDate(2026, 12, 6)), QStringLiteral("2026年12月6日(日)"));
        QCOMPARE(JapaneseWeekday(QDate(2026, 12, 12)), QStringLiteral("土"));
        QLocale::setDefault(QLocale::system());
    }
};

TAVO_GUI_TEST_MAIN(UiTextTest)
#include "ui_text_test.moc"
