#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "main_window/conflict_dialog.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

Q_DECLARE_METATYPE(DayTexts)
Q_DECLARE_METATYPE(TConflictDlg::Choice)

namespace {

using Choice = TConflictDlg::Choice;

ConflictVersion Version(const QString& label, const QString& title, const QString& publicText,
                        const QString& privateText) {
    return {label, {title, publicText, privateText}, {}};
}

// Runs `answer` on the conflict dialog as soon as it is open, from inside its event loop.
void AnswerWhenShown(std::function<void(TConflictDlg*)> answer) {
    QTimer::singleShot(10, [answer = std::move(answer)] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<TConflictDlg*>(widget); dialog && dialog->isVisible()) {
                answer(dialog);
                return;
            }
        }
        AnswerWhenShown(answer);
    });
}

}  // namespace

class ConflictDialogTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;

private slots:
    void init() { h_.setUp(); }
    void cleanup() {
        TConflictDlg::setResponder({});
        h_.tearDown();
    }

    void mergeKeepsBothVersionsOfWhatDiffers_data() {
        QTest::addColumn<DayTexts>("mine");
        QTest::addColumn<DayTexts>("theirs");
        QTest::addColumn<DayTexts>("merged");
        const DayTexts same{QStringLiteral("旅行"), QStringLiteral("朝\n晩"), QStringLiteral("秘")};
        QTest::newRow("alike") << same << same << same;
        QTest::newRow("everything, one side empty")
            << DayTexts{QString(), QStringLiteral("a\n"), QString()}
            << DayTexts{QStringLiteral("t"), QString(), QStringLiteral("p")}
            << DayTexts{QStringLiteral(" ／ t"),
                        QStringLiteral("<<<<<<< この画面の版\na\n\n=======\n\n>>>>>>> "
                                       "20040105 (conflicted copy 2025-01-01).txt\n"),
                        QStringLiteral("<<<<<<< この画面の版\n\n=======\np\n>>>>>>> "
                                       "20040105 (conflicted copy 2025-01-01).txt\n")};
    }

    void mergeKeepsBothVersionsOfWhatDiffers() {
        QFETCH(DayTexts, mine);
        QFETCH(DayTexts, theirs);
        QFETCH(DayTexts, merged);
        const DayTexts result =
            MergedByHand({MineVersionLabel(), mine, {}},
                         {QStringLiteral("20040105 (conflicted copy 2025-01-01).txt"), theirs, {}});
        QCOMPARE(result.title, merged.title);
        QCOMPARE(result.publicText, merged.publicText);
        QCOMPARE(result.privateText, merged.privateText);
    }

    void showsBothVersionsAndEachButtonAnswers_data() {
        QTest::addColumn<QString>("button");  // empty: Escape
        QTest::addColumn<Choice>("choice");
        QTest::newRow("keep mine") << QStringLiteral("Button1") << Choice::KeepMine;
        QTest::newRow("keep theirs") << QStringLiteral("Button2") << Choice::KeepTheirs;
        QTest::newRow("merge by hand") << QStringLiteral("Button3") << Choice::MergeByHand;
        QTest::newRow("cancel") << QStringLiteral("Button4") << Choice::Cancel;
        QTest::newRow("escape") << QString() << Choice::Cancel;
    }

    void showsBothVersionsAndEachButtonAnswers() {
        QFETCH(QString, button);
        QFETCH(Choice, choice);
        TConflictDlg::setResponder({});  // the real dialog, not the harness's answers
        const QString longText = QString(400, QLatin1Char('x'));
        const ConflictVersion mine = Version(MineVersionLabel(), QStringLiteral("<b>画面</b> & 題"),
                                             longText, QStringLiteral("秘密"));
        ConflictVersion theirs =
            Version(QStringLiteral("20040105 (conflicted copy 2025-01-01).txt"),
                    QStringLiteral("ディスクの題"), QStringLiteral("朝\n晩"), QString());
        theirs.modified = QDateTime(QDate(2025, 1, 1), QTime(12, 0, 5));

        QStringList seen;
        QStringList captions;
        AnswerWhenShown([&](TConflictDlg* dialog) {
            seen << dialog->objectName();
            const auto* mineBox = Child<QGroupBox>(dialog, "GroupBox1");
            const auto* theirBox = Child<QGroupBox>(dialog, "GroupBox2");
            seen << mineBox->title() << Child<QLabel>(mineBox, "TitleLabel")->text()
                 << Child<QPlainTextEdit>(mineBox, "PublicText")->toPlainText()
                 << Child<QPlainTextEdit>(mineBox, "PrivateText")->toPlainText()
                 << QString::number(
                        mineBox->findChildren<QLabel*>(QStringLiteral("TimeLabel")).size())
                 << theirBox->title() << Child<QLabel>(theirBox, "TitleLabel")->text()
                 << Child<QPlainTextEdit>(theirBox, "PublicText")->toPlainText()
                 << Child<QLabel>(theirBox, "TimeLabel")->text();
            for (const char* name : {"Button1", "Button2", "Button3", "Button4"})
                captions << Child<QPushButton>(dialog, name)->text();
            if (button.isEmpty())
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                Child<QPushButton>(dialog, button.toLatin1().constData())->click();
        });
        QCOMPARE(TConflictDlg::ask(nullptr, mine, theirs), choice);

        QCOMPARE(seen, (QStringList{QStringLiteral("ConflictDlg"), MineVersionLabel(),
                                    QStringLiteral("<b>画面</b> & 題"),
                                    QString(300, QLatin1Char('x')) + QStringLiteral("…"),
                                    QStringLiteral("秘密"), QStringLiteral("0"),
                                    QStringLiteral("20040105 (conflicted copy 2025-01-01).txt"),
                                    QStringLiteral("ディスクの題"), QStringLiteral("朝\n晩"),
                                    QStringLiteral("2025/01/01 12:00:05")}));
        QCOMPARE(captions,
                 (QStringList{QStringLiteral("この版を残す"), QStringLiteral("相手の版を残す"),
                              QStringLiteral("手で合わせる"), QStringLiteral("キャンセル")}));
    }
};

TAVO_GUI_TEST_MAIN(ConflictDialogTest)
#include "conflict_dialog_test.moc"
