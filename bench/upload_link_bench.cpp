// The upload dialog's real upload, timed: a page in the HTML output dialog that shows
// COUNT images of SIZE bytes, from the click on "アップロード" to the "アップロード完了"
// box. Prints the seconds; exits with 1 when the upload did not complete. Run offscreen
// (QT_QPA_PLATFORM=offscreen) by bench/delayed_link_bench.sh.
//
//   tavo_upload_link_bench SERVER PORT USER PASSWORD FOLDER COUNT SIZE active|passive [DIARY]
//
// DIARY, a temporary folder unless given, keeps the page as sent (temp.html) and the
// images (tavo-img/), for the caller to compare with what the server stored.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/tavo_windows.h"
#include "ftp/ftpup.h"
#include "ftp/qftp.h"
#include "main_window/sdimain.h"
#include "publish/html_out.h"
#include "uikit/gui_harness.h"  // tests/
#include "uikit/tavo_application.h"

namespace {

constexpr int kTimeoutMs = 600000;

// Image `index`'s bytes: different in every image, so a mix-up shows in the comparison.
QByteArray ImageBytes(int index, int size) {
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = 2463534242u + static_cast<quint32>(index) * 2654435761u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return bytes;
}

// The page and its images in the diary folder, as dropping images on entries leaves them.
QString MakeDiary(const QString& folder, int count, int size) {
    QDir().mkpath(folder + "/tavo-img");
    QString page = QStringLiteral("<html><body>\n<p>日記</p>\n");
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("20240101_%1.jpg").arg(i + 1);
        QFile image(folder + "/tavo-img/" + name);
        if (!image.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            image.write(ImageBytes(i, size)) != size)
            qFatal("cannot write %s", qPrintable(image.fileName()));
        page += QStringLiteral("<img src=\"tavo-img/%1\">\n").arg(name);
    }
    return page + QStringLiteral("</body></html>\n");
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 9 && argc != 10) {
        std::fprintf(stderr,
                     "usage: %s SERVER PORT USER PASSWORD FOLDER COUNT SIZE active|passive "
                     "[DIARY]\n",
                     argv[0]);
        return 2;
    }
    PrepareApplicationAttributes();
    QApplication app(argc, argv);
    SetUpApplication(app);
    const QStringList args = app.arguments();
    const bool passive = args[8] == QLatin1String("passive");

    GuiHarness harness;  // message boxes and the like answered, not shown
    harness.setUp();
    QTemporaryDir temporary;
    const QString diary = argc == 10 ? args[9] : temporary.path();
    QDir().mkpath(diary);
    auto program = std::make_unique<TavoWindows>(diary.toStdString());
    program->start();
    Child<QPlainTextEdit>(program->H_OutForm(), "RichEdit1")
        ->setPlainText(MakeDiary(diary, args[6].toInt(), args[7].toInt()));

    TFTPUP_Form* form = program->FTPUP_Form();
    form->show();
    Child<QLineEdit>(form, "Edit1")->setText(args[1]);
    Child<QLineEdit>(form, "Edit2")->setText(args[3]);
    Child<QLineEdit>(form, "Edit3")->setText(args[4]);
    Child<QLineEdit>(form, "Edit4")->setText(args[5]);
    Child<QLineEdit>(form, "Edit5")->setText(QStringLiteral("page.html"));
    Child<QComboBox>(form, "ComboBox1")->setCurrentIndex(1);  // "暗号化しない": plain FTP
    Child<QComboBox>(form, "ComboBox2")->setCurrentIndex(passive ? 0 : 1);  // "接続方式"
    tavo::ftp::TQFtp* ftp = form->client();
    ftp->SetPort(static_cast<std::uint16_t>(args[2].toUInt()));
    ftp->SetCacheFolder(diary + "/ftpcache");

    // The clock stops inside the box's answer; the event loop runs freely until then, so
    // no polling interval adds to the time.
    QElapsedTimer clock;
    double seconds = -1;
    QEventLoop loop;
    MessageBox::setResponder([&](const MessageBox::Shown& box) {
        harness.shown << box;
        if (box.text == QStringLiteral("アップロード完了"))
            seconds = clock.nsecsElapsed() / 1e9;
        else
            std::fprintf(stderr, "message: %s\n", qPrintable(box.text));
        QTimer::singleShot(0, &loop, &QEventLoop::quit);
        return box.buttons.first();
    });
    QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
    clock.start();
    QTest::mouseClick(Child<QPushButton>(form, "Button1"), Qt::LeftButton);
    loop.exec();

    // The QUIT is answered before the program ends, so the server sees a clean session.
    QElapsedTimer closing;
    closing.start();
    while (ftp->Connected() && closing.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (form->isVisible())
        form->close();
    program->SDIAppForm()->close();
    program.reset();
    harness.tearDown();
    if (seconds < 0)
        return 1;
    std::printf("%.3f\n", seconds);
    return 0;
}
