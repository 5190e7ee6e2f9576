#include <QAction>
#include <QImage>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QWebEngineView>
#include <memory>

#include "app/tavo_windows.h"
#include "core/entry_store.h"
#include "core/temp_folder.h"
#include "main_window/sdimain.h"
#include "tools/preview.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

class PreviewTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<TavoWindows> program_;

    TSDIAppForm* main() const { return program_->SDIAppForm(); }
    QWebEngineView* view() const { return Child<QWebEngineView>(main(), "WebBrowser1"); }

    // Runs a script in the shown page and returns its result.
    QVariant evaluate(const QString& script) {
        QVariant result;
        bool done = false;
        view()->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 20000))
            qWarning("script did not finish: %s", qPrintable(script));
        return result;
    }

    // Shows the preview tab and waits for the page built from the editor.
    void showPreview() {
        QSignalSpy loaded(view(), &QWebEngineView::loadFinished);
        Child<QTabWidget>(main(), "PageControl2")->setCurrentIndex(1);
        QVERIFY(loaded.wait(30000));
        QVERIFY(loaded.first().first().toBool());
    }

private slots:
    void init() { h_.setUp(); }

    void cleanup() {
        if (program_ && main()->isVisible())
            main()->close();
        program_.reset();
        h_.tearDown();
    }

    void pageText() {
        const QString folder = QStringLiteral("/home/u/diary/");
        const QString head = QStringLiteral(
            "<html>\n<head>\n"
            "<link rel=\"stylesheet\" type=\"text/css\" href=\"/home/u/diary/view.css\">\n"
            "<base target=\"_blank\">\n</head>\n<body>\n");
        const struct {
            const char* name;
            QString text;
            QString body;
        } cases[] = {
            {"empty", QString(), QString()},
            {"lines", QStringLiteral("a\nb"), QStringLiteral("a<br>\nb<br>\n")},
            {"final break starts no line", QStringLiteral("a\r\n"), QStringLiteral("a<br>\n")},
            {"empty line", QStringLiteral("a\r\rb"), QStringLiteral("a<br>\n<br>\nb<br>\n")},
            {"two images", QStringLiteral("<img src=\"tavo-img/1.gif\"><img src=\"x.png\">"),
             QStringLiteral("<img src=\"/home/u/diary/tavo-img/1.gif\">"
                            "<img src=\"/home/u/diary/x.png\"><br>\n")},
            {"upper case is left", QStringLiteral("<IMG SRC=\"a.gif\">"),
             QStringLiteral("<IMG SRC=\"a.gif\"><br>\n")},
            {"web address prefixed too", QStringLiteral("<img src=\"http://x/a.gif\">"),
             QStringLiteral("<img src=\"/home/u/diary/http://x/a.gif\"><br>\n")},
        };
        for (const auto& c : cases)
            QCOMPARE(BuildPreviewPage(c.text, folder),
                     head + c.body + QStringLiteral("</body></html>\n"));
    }

    void showsTheEntryWithItsImagesAndFollowsTheDay() {
        std::filesystem::create_directories(h_.folder() / "tavo-img");
        std::filesystem::create_directories(h_.folder() / "data");
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(
            QString::fromStdString((h_.folder() / "tavo-img" / "20040105_1.png").string())));
        WriteAll(h_.folder() / "view.css", "p { color: rgb(0, 128, 0); }");
        std::string error;
        const tavo::EntryStore store(h_.folder());
        QVERIFY(store.SaveEntry("20040105.txt",
                                {"t", "<p>first</p>\r\n<img src=\"tavo-img/20040105_1.png\">", ""},
                                &error));
        QVERIFY(store.SaveEntry("20040106.txt", {"t", "second\r\nday\r\nhere", ""}, &error));
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
        main()->goToDate(QDate(2004, 1, 5));

        showPreview();
        QCOMPARE(evaluate(QStringLiteral("document.images.length")).toInt(), 1);
        QTRY_COMPARE(evaluate(QStringLiteral("document.images[0].naturalWidth")).toInt(), 40);
        QCOMPARE(evaluate(QStringLiteral("document.images[0].naturalHeight")).toInt(), 30);
        QTRY_COMPARE(evaluate(QStringLiteral("getComputedStyle(document.querySelector('p')).color"))
                         .toString(),
                     QStringLiteral("rgb(0, 128, 0)"));

        // Loading another day while the preview shows rebuilds it.
        QSignalSpy loaded(view(), &QWebEngineView::loadFinished);
        main()->goToDate(QDate(2004, 1, 6));
        QVERIFY(loaded.wait(30000));
        QCOMPARE(
            evaluate(QStringLiteral("document.body.innerHTML.split('<br>').length - 1")).toInt(),
            3);
        QVERIFY(evaluate(QStringLiteral("document.body.innerText"))
                    .toString()
                    .contains(QStringLiteral("second")));

        // Typing does not change the shown page until the tab is chosen again.
        auto* tabs = Child<QTabWidget>(main(), "PageControl2");
        tabs->setCurrentIndex(0);
        Child<QPlainTextEdit>(main(), "Memo1")->setPlainText(QStringLiteral("<b>typed</b>"));
        QVERIFY(evaluate(QStringLiteral("document.body.innerText"))
                    .toString()
                    .contains(QStringLiteral("second")));
        showPreview();
        QCOMPARE(evaluate(QStringLiteral("document.querySelector('b').innerText")).toString(),
                 QStringLiteral("typed"));
    }

    void linksOpenInTheDesktopsBrowser() {
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
        Child<QPlainTextEdit>(main(), "Memo1")
            ->setPlainText(
                QStringLiteral("<a id=\"l\" href=\"https://example.com/page\">link</a>"));
        showPreview();
        evaluate(QStringLiteral("document.getElementById('l').click(); true"));
        QTRY_COMPARE_WITH_TIMEOUT(
            h_.openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://example.com/page"))}, 20000);
        QCOMPARE(view()->url().scheme(), QStringLiteral("file"));  // the preview stayed
    }
};

TAVO_GUI_TEST_MAIN(PreviewTest)
#include "preview_test.moc"
