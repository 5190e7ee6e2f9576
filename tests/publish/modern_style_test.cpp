// Renders a page made with the modern style in the web engine at a phone's and a desktop's
// width: nothing in an entry may widen the page, and the calendar moves from above the
// entries to beside them.
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineView>
#include <memory>

#include "core/entry_store.h"
#include "core/temp_folder.h"
#include "core/text_file.h"
#include "publish/page_generator.h"
#include "publish/style.h"
#include "uikit/gui_test_main.h"

class ModernStyleTest : public QObject {
    Q_OBJECT

private:
    TempFolder folder_;
    std::unique_ptr<QWebEngineView> view_;

    QVariant evaluate(const QString& script) {
        QVariant result;
        bool done = false;
        view_->page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 20000))
            qWarning("script did not finish: %s", qPrintable(script));
        return result;
    }

    void saveEntry(int day, const std::string& publicText) {
        char name[16];
        std::snprintf(name, sizeof name, "200404%02d.txt", day);
        std::string error;
        QVERIFY2(tavo::EntryStore(folder_.path())
                     .SaveEntry(name, {"day " + std::to_string(day), publicText, ""}, &error),
                 error.c_str());
    }

private slots:
    void initTestCase() {
        const std::filesystem::path folder = folder_.path();
        std::filesystem::create_directories(folder / "data");
        std::filesystem::create_directories(folder / "tavo-img");
        std::filesystem::create_directories(folder / "style");
        std::string error;
        QVERIFY2(tavo::WriteModernStyleIfMissing(folder, &error), error.c_str());

        QImage image(1200, 400, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QVERIFY(image.save(QString::fromStdString((folder / "tavo-img" / "wide.png").string())));
        // Nearly every day of the month, so the index is long.
        for (int day = 1; day <= 26; ++day)
            saveEntry(day, "an ordinary day\r\nsecond line");
        const std::string url = "https://example.org/" + std::string(300, 'x');
        saveEntry(30, "<a href=\"" + url + "\">" + url + "</a>\r\n" + url);
        saveEntry(29, "<img src=\"tavo-img/wide.png\">");
        saveEntry(28, "<pre>" + std::string(300, 'p') + "</pre>");

        std::string page;
        QVERIFY2(tavo::GeneratePage(folder, {"modern", {2004, 4, 1}, {2004, 4, 30}}, &page, &error),
                 error.c_str());
        const std::filesystem::path file = folder / "page.html";
        QVERIFY2(tavo::WriteFileAtomically(file, page, &error), error.c_str());

        view_ = std::make_unique<QWebEngineView>();
        view_->resize(1280, 800);
        view_->show();
        QSignalSpy loaded(view_.get(), &QWebEngineView::loadFinished);
        view_->load(QUrl::fromLocalFile(QString::fromStdString(file.string())));
        QVERIFY(loaded.wait(30000));
        QVERIFY(loaded.first().first().toBool());
        // The Shift_JIS meta was honoured.
        QCOMPARE(evaluate(QStringLiteral("document.title")).toString(), QStringLiteral("日記"));
        QTRY_COMPARE(evaluate(QStringLiteral("document.images[0].naturalWidth")).toInt(), 1200);
        QCOMPARE(evaluate(QStringLiteral("document.querySelectorAll('.index a').length")).toInt(),
                 29);
    }

    void cleanupTestCase() { view_.reset(); }

    void fitsTheWindow_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("beside");
        QTest::newRow("phone") << 375 << false;
        QTest::newRow("desktop") << 1280 << true;
    }

    void fitsTheWindow() {
        QFETCH(int, width);
        QFETCH(bool, beside);
        view_->resize(width, 800);
        QTRY_COMPARE(evaluate(QStringLiteral("window.innerWidth")).toInt(), width);

        const int scrollWidth =
            evaluate(QStringLiteral("document.documentElement.scrollWidth")).toInt();
        QVERIFY2(scrollWidth <= width,
                 qPrintable(QStringLiteral("scrollWidth %1").arg(scrollWidth)));

        const QString rects = QStringLiteral(
            "(() => { const c = document.querySelector('table.cal').getBoundingClientRect();"
            " const e = document.querySelector('.entry').getBoundingClientRect();"
            " return [c.bottom <= e.top, c.right <= e.left && c.top < e.bottom]; })()");
        const QVariantList where = evaluate(rects).toList();
        QCOMPARE(where.size(), 2);
        QCOMPARE(where[0].toBool(), !beside);  // above
        QCOMPARE(where[1].toBool(), beside);
    }
};

TAVO_GUI_TEST_MAIN(ModernStyleTest)
#include "modern_style_test.moc"
