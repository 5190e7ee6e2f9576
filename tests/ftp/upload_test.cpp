#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSslCertificate>
#include <QTest>
#include <functional>
#include <memory>

#include "app/tavo_windows.h"
#include "core/scramble.h"
#include "core/temp_folder.h"
#include "ftp/ftp_test_support.h"
#include "ftp/ftpup.h"
#include "ftp/qftp.h"
#include "ftp/qftp_messenger.h"
#include "ftp/real_server.h"
#include "main_window/sdimain.h"
#include "publish/html_out.h"
#include "uikit/gui_harness.h"
#include "uikit/gui_test_main.h"

using tavo::ftp::MessageKind;
using tavo::ftp::TQFtp;
using tavo::ftp::TQFtpMessenger;

namespace {

// A page as "出力" leaves it: three images referenced, one twice in other letters, one
// missing here, and one reference that points out of the image folder.
const QString kPage = QStringLiteral(
    "<html><body>\n"
    "<p>日記</p><img src=\"tavo-img/20040105_1.png\" width=\"4\">\n"
    "<img src=\"tavo-img/B.gif\"><img src=\"tavo-img/b.GIF\">\n"
    "<img src=\"tavo-img/missing.jpg\"><img src=\"tavo-img/../tavo.ini\">\n"
    "</body></html>");

QByteArray Bytes(int size, int seed) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return bytes;
}

// Answers PORT; anything else at that step is refused, so a wrong script shows in the
// transcript instead of confusing the data connection.
void Port(ftptest::ScriptedServer& s, const std::string& command) {
    if (command.rfind("PORT ", 0) == 0)
        s.rememberPort(command);
    else
        s.send("500 unexpected\r\n");
}

// TYPE A, PORT and LIST, answered with `listing`; `onList` runs as the LIST arrives.
void AddListing(ftptest::ScriptedServer& scripted, const std::string& listing,
                std::function<void()> onList = {}) {
    scripted.add("TYPE A", "200 ok\r\n");
    scripted.add("PORT *", Port);
    scripted.add("LIST", [listing, onList](ftptest::ScriptedServer& s, const std::string&) {
        if (onList)
            onList();
        s.sendListing(listing);
    });
}

using Action = std::function<void(ftptest::ScriptedServer&, const std::string&)>;

Action Listed(const std::string& listing) {
    return [listing](ftptest::ScriptedServer& s, const std::string&) { s.sendListing(listing); };
}

// The dialog's way to the data connection of its first listing: the login, the folder "/"
// and TYPE A. QUIT is answered wherever it comes.
void ScriptToTypeA(ftptest::ScriptedServer& scripted) {
    scripted.addPlainLogin();
    scripted.aside("QUIT", [](ftptest::ScriptedServer& s, const std::string&) {
        s.send("221 bye\r\n");
        s.closeControl();
    });
    scripted.add("CWD /", "250 \"/\" is the current directory\r\n");
    scripted.add("TYPE A", "200 ok\r\n");
}

// Then PORT and the LIST that `list` answers.
void ScriptToListing(ftptest::ScriptedServer& scripted, const Action& list) {
    ScriptToTypeA(scripted);
    scripted.add("PORT *", Port);
    scripted.add("LIST", list);
}

// The page goes up under a temporary name and is then renamed over the old one.
void AddPageStore(ftptest::ScriptedServer& scripted, Action store) {
    scripted.add("STOR page.html.tavo-part", std::move(store));
    scripted.add("RNFR page.html.tavo-part", "350 ready for the new name\r\n");
    scripted.add("RNTO page.html", "250 renamed\r\n");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class UploadTest : public QObject {
    Q_OBJECT

private:
    GuiHarness h_;
    std::unique_ptr<TavoWindows> program_;
    std::unique_ptr<ftptest::PyFtpdlib> pyftpdlib_;
    std::unique_ptr<ftptest::Vsftpd> vsftpd_;
    std::unique_ptr<ftptest::Vsftpd> vsftpdTls_;
    int folderCount_ = 0;

    TFTPUP_Form* form() const { return program_->FTPUP_Form(); }
    template <typename T>
    T* child(const char* name) const {
        return Child<T>(form(), name);
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    QString log() const { return child<TQFtpMessenger>("QFtpMessenger1")->toPlainText(); }
    QString status() const { return child<QLabel>("StaticText1")->text(); }
    int logCount(const QString& line) const {
        return static_cast<int>(log().split(QLatin1Char('\n')).filter(line).size());
    }
    bool shown(const QString& text) const {
        for (const auto& box : h_.shown)
            if (box.text == text)
                return true;
        return false;
    }

    // The program with a generated page in the HTML output dialog and its images here.
    void startProgram() {
        program_ = std::make_unique<TavoWindows>(h_.folder());
        program_->start();
        Child<QPlainTextEdit>(program_->H_OutForm(), "RichEdit1")->setPlainText(kPage);
        const QString images = QString::fromStdString((h_.folder() / "tavo-img").string());
        QDir().mkpath(images);
        QFile png(images + "/20040105_1.png");
        png.open(QIODevice::WriteOnly);
        png.write(Bytes(70000, 1));
        png.close();
        QFile gif(images + "/B.gif");
        gif.open(QIODevice::WriteOnly);
        gif.write(Bytes(5000, 2));
        gif.close();
    }

    ftptest::RealServer* server(const QString& name) {
        if (name == QLatin1String("pyftpdlib")) {
            if (!pyftpdlib_) {
                pyftpdlib_ = std::make_unique<ftptest::PyFtpdlib>();
                pyftpdlib_->quiet = true;
                pyftpdlib_->Start();
            }
            return pyftpdlib_->Running() ? pyftpdlib_.get() : nullptr;
        }
        if (name == QLatin1String("vsftpd-tls")) {
            if (!vsftpdTls_) {
                vsftpdTls_ = std::make_unique<ftptest::Vsftpd>(true);
                vsftpdTls_->quiet = true;
                vsftpdTls_->Start();
            }
            return vsftpdTls_->Running() ? vsftpdTls_.get() : nullptr;
        }
        if (!vsftpd_) {
            vsftpd_ = std::make_unique<ftptest::Vsftpd>();
            vsftpd_->quiet = true;
            vsftpd_->Start();
        }
        return vsftpd_->Running() ? vsftpd_.get() : nullptr;
    }

    // A fresh remote folder for each upload test; its local path.
    QString remoteFolder(ftptest::RealServer* s, QString* remotePath) {
        const QString name = QStringLiteral("diary%1").arg(++folderCount_);
        const QString local = s->home + QLatin1Char('/') + name;
        QDir().mkpath(local);
        QFile::setPermissions(local, QFile::Permissions(0x7777));  // the server's user writes
        *remotePath =
            (s->workDir == QLatin1String("/") ? QString() : s->workDir) + QLatin1Char('/') + name;
        return local;
    }

    // Shows the dialog for a server without TLS, in active mode (as the scripts answer PORT).
    void showUnencrypted() {
        form()->show();
        child<QComboBox>("ComboBox1")->setCurrentIndex(1);
        child<QComboBox>("ComboBox2")->setCurrentIndex(1);
    }

    // Shows the dialog, fills it for the server and presses "アップロード".
    void upload(ftptest::RealServer* s, const QString& remotePath, bool passive, const char* radio,
                const QString& password = QString(), bool tls = false) {
        form()->show();
        if (!tls)
            child<QComboBox>("ComboBox1")->setCurrentIndex(1);
        QVERIFY(form()->isVisible());
        edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
        edit("Edit2")->setText(s->user);
        edit("Edit3")->setText(password.isEmpty() ? s->password : password);
        edit("Edit4")->setText(remotePath);
        edit("Edit5")->setText(QStringLiteral("page.html"));
        child<QRadioButton>(radio)->setChecked(true);
        form()->client()->SetPort(s->port);
        child<QComboBox>("ComboBox2")->setCurrentIndex(passive ? 0 : 1);
        form()->client()->SetRetryIntervalMs(10);
        form()->client()->SetCacheFolder(QString::fromStdString((h_.folder() / "cache").string()));
        h_.shown.clear();
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        dropMissingImagesQuestion();
    }

    // The page refers to "missing.jpg", which is not here: the question about it is answered
    // (going on) before anything starts; tests of later boxes leave it aside.
    void dropMissingImagesQuestion() {
        h_.shown.removeIf([](const MessageBox::Shown& box) {
            return box.text.startsWith(QStringLiteral("次の画像が見つかりません"));
        });
    }

    // Shows the dialog, fills it for the scripted server and presses "アップロード".
    void uploadTo(ftptest::ScriptedServer& scripted, const QString& folder) {
        showUnencrypted();
        edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
        edit("Edit2")->setText(QStringLiteral("bob"));
        edit("Edit3")->setText(QStringLiteral("secret"));
        edit("Edit4")->setText(folder);
        edit("Edit5")->setText(QStringLiteral("page.html"));
        form()->client()->SetPort(scripted.port());
        form()->client()->SetCacheFolder(QString::fromStdString((h_.folder() / "cache").string()));
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        dropMissingImagesQuestion();
    }

    static std::string Transcript(const ftptest::ScriptedServer& scripted) {
        std::string transcript;
        for (const auto& line : scripted.transcript)
            transcript += line + "|";
        return transcript;
    }

    QStringList errorBoxes() const {
        QStringList texts;
        for (const auto& box : h_.shown) {
            if (box.kind == MessageBox::Kind::Error)
                texts << box.text;
        }
        return texts;
    }

    // A failed upload: an error box within `ms` (`expected`, or any client error), nothing
    // of a completed one, and closing the dialog ends the session.
    void expectFailure(const QString& expected = QStringLiteral("ERROR: ftp"), int ms = 5000) {
        QTRY_VERIFY_WITH_TIMEOUT(!errorBoxes().isEmpty(), ms);
        QVERIFY2(errorBoxes()[0].startsWith(expected), qPrintable(errorBoxes()[0]));
        QTest::qWait(500);  // a crash or a late completion would come here
        QVERIFY(!shown(QStringLiteral("アップロード完了")));
        QVERIFY(!std::filesystem::exists(h_.folder() / "FTP.ini"));
        form()->close();
        QVERIFY(!form()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected() && !form()->client()->Busy(), 5000);
    }

    // The page as sent (in ASCII mode the server may store its own line ends) and both
    // images, byte for byte, in the server's folder.
    void expectPageAndImagesIn(const QString& local) {
        QByteArray page = ReadFile(local + "/page.html");
        page.replace("\r\n", "\n");
        QByteArray sent = QByteArray::fromStdString(ReadAll(h_.folder() / "temp.html"));
        sent.replace("\r\n", "\n");
        QCOMPARE(page, sent);
        QCOMPARE(ReadFile(local + "/tavo-img/20040105_1.png"), Bytes(70000, 1));
        QCOMPARE(ReadFile(local + "/tavo-img/B.gif"), Bytes(5000, 2));
    }

    void waitForEnd() {
        QTRY_VERIFY_WITH_TIMEOUT(
            shown(QStringLiteral("アップロード完了")) || status() == QStringLiteral("異常終了"),
            30000);
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected(), 10000);
        form()->close();
        QTRY_VERIFY(!form()->isVisible());
    }

private slots:
    void init() { h_.setUp(); }

    void cleanup() {
        if (program_) {
            if (form()->isVisible())
                form()->close();
            if (program_->SDIAppForm()->isVisible())
                program_->SDIAppForm()->close();
        }
        program_.reset();
        h_.tearDown();
    }

    void cleanupTestCase() {
        pyftpdlib_.reset();
        vsftpd_.reset();
        vsftpdTls_.reset();
    }

    void showingFillsTheFormFromFtpIni() {
        startProgram();
        form()->show();
        QCOMPARE(form()->windowTitle(), QStringLiteral("FTPアップロード"));
        QVERIFY(form()->isModal());
        QCOMPARE(edit("Edit1")->text(), QString());
        QCOMPARE(edit("Edit3")->text(), QString());
        QCOMPARE(edit("Edit4")->text(), QStringLiteral("/"));
        QCOMPARE(edit("Edit5")->text(), QStringLiteral("202403.html"));
        QCOMPARE(edit("Edit5")->selectedText(), QStringLiteral("202403"));
        QCOMPARE(status(), QStringLiteral("アップロード状況"));
        QVERIFY(child<QRadioButton>("RadioButton1")->isChecked());
        auto* toggle = child<QPushButton>("Button3");
        QCOMPARE(toggle->text(), QStringLiteral(">"));
        QVERIFY(!child<QWidget>("Panel1")->isVisible());
        const int narrow = form()->width();
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->text(), QStringLiteral("<"));
        QVERIFY(child<QWidget>("Panel1")->isVisible());
        QTRY_VERIFY(form()->width() > narrow + 200);
        form()->close();

        WriteAll(h_.folder() / "FTP.ini",
                 "ftp.example.com\r\nme\r\n" + tavo::EncodeText("pw") + "\r\n/www\r\n");
        form()->show();
        QCOMPARE(edit("Edit1")->text(), QStringLiteral("ftp.example.com"));
        QCOMPARE(edit("Edit2")->text(), QStringLiteral("me"));
        QCOMPARE(edit("Edit3")->text(), QStringLiteral("pw"));
        QCOMPARE(edit("Edit4")->text(), QStringLiteral("/www"));
        QCOMPARE(edit("Edit3")->echoMode(), QLineEdit::Password);
        // "接続方式": passive unless the sixth line says "PORT".
        auto* connection = child<QComboBox>("ComboBox2");
        QCOMPARE(connection->currentText(), QStringLiteral("パッシブ（推奨）"));
        form()->close();
        WriteAll(h_.folder() / "FTP.ini", "h\r\nme\r\n\r\n/www\r\nFTP\r\nPORT\r\n");
        form()->show();
        QCOMPARE(connection->currentText(), QStringLiteral("アクティブ"));
    }

    void incompleteFormStartsNothing() {
        startProgram();
        form()->show();
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].text, QStringLiteral("FTPの設定に不備があります"));
        for (const char* bad : {"a/b.html", "a\\b.html"}) {
            edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
            edit("Edit2")->setText(QStringLiteral("u"));
            edit("Edit3")->setText(QStringLiteral("p"));
            edit("Edit5")->setText(QString::fromLatin1(bad));
            QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        }
        QCOMPARE(h_.shown.size(), 3);
        QVERIFY(h_.shown[1].text.contains(QStringLiteral("ファイル名")));
        // FTP.ini and the server get code page 932: a password it cannot hold would be
        // stored and sent as another text.
        edit("Edit3")->setText(QStringLiteral("pass\U0001F600"));
        edit("Edit5")->setText(QStringLiteral("page.html"));
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 4);
        QCOMPARE(h_.shown[3].text,
                 QStringLiteral("FTPの設定に Shift_JIS (CP932) で表せない文字があります"));
        // Images the page shows but the diary lacks are named first; "キャンセル" starts nothing.
        edit("Edit3")->setText(QStringLiteral("p"));
        h_.answers << MessageBox::Button::Cancel;
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        QCOMPARE(h_.shown.size(), 5);
        QCOMPARE(h_.shown[4].kind, MessageBox::Kind::Question);
        QCOMPARE(h_.shown[4].text, QStringLiteral("次の画像が見つかりません。\n\n  missing.jpg\n\n"
                                                  "アップロードを続けますか？"));
        QVERIFY(child<QPushButton>("Button1")->isEnabled());
        QVERIFY(!std::filesystem::exists(h_.folder() / "temp.html"));
        QVERIFY(!form()->client()->Connected());
    }

    void uploadsThePageAndItsImages_data() {
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<bool>("passive");
        QTest::newRow("pyftpdlib active") << "pyftpdlib" << false;
        QTest::newRow("pyftpdlib passive") << "pyftpdlib" << true;
        QTest::newRow("vsftpd active") << "vsftpd" << false;
        QTest::newRow("vsftpd passive") << "vsftpd" << true;
    }

    void uploadsThePageAndItsImages() {
        QFETCH(QString, serverName);
        QFETCH(bool, passive);
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_pyftpdlib and upload_tests_vsftpd");
        ftptest::RealServer* s = server(serverName);
        if (!s)
            QSKIP(qPrintable(serverName + " cannot run here"));
        startProgram();
        QString remote;
        const QString local = remoteFolder(s, &remote);

        upload(s, remote, passive, "RadioButton1");
        waitForEnd();
        QVERIFY2(shown(QStringLiteral("アップロード完了")), qPrintable(log()));
        expectPageAndImagesIn(local);
        QCOMPARE(QDir(local + "/tavo-img").entryList(QDir::Files).size(), 2);
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   STOR")), 3);
        // No round trip whose answer goes unused: no SIZE, no REST probe, no PWD after a CWD
        // into a known place, no listing of the image folder made just now.
        const std::pair<const char*, int> commands[] = {
            {"SIZE", 0}, {"REST", 0}, {"PWD", 1}, {"LIST", 1}};
        for (const auto& [command, count] : commands)
            QCOMPARE(logCount(QStringLiteral("COMMAND:>   ") + QLatin1String(command)), count);
        // The status names each file in turn and the bar follows the transfer: the last one
        // is B.gif, all of it.
        QCOMPARE(status(), QStringLiteral("B.gif"));
        QCOMPARE(child<QProgressBar>("ProgressBar1")->maximum(), 5000);
        QCOMPARE(child<QProgressBar>("ProgressBar1")->value(), 5000);
        // The log never shows the password (the anonymous server takes none).
        QVERIFY(!log().contains(s->password));
        if (serverName == QLatin1String("pyftpdlib"))
            QCOMPARE(logCount(QStringLiteral("COMMAND:>   PASS (want to know) :-P")), 1);
        QVERIFY(log().contains(QStringLiteral("ERROR:>     \"../tavo.ini\"")));
        QCOMPARE(ReadAll(h_.folder() / "FTP.ini"),
                 "127.0.0.1\r\n" + s->user.toStdString() + "\r\n" +
                     tavo::EncodeText(s->password.toStdString()) + "\r\n" + remote.toStdString() +
                     "\r\nFTP\r\n" + (passive ? "PASV" : "PORT") + "\r\n");

        // Again, skipping what the server has (its image folder is listed now): only the
        // page is stored.
        upload(s, remote, passive, "RadioButton1");
        waitForEnd();
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   STOR")), 1);
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   LIST")), 2);

        // Again, overwriting: the images are stored anew.
        upload(s, remote, passive, "RadioButton2");
        waitForEnd();
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   STOR")), 3);
        QCOMPARE(ReadFile(local + "/tavo-img/B.gif"), Bytes(5000, 2));
    }

    void pageOnlyEntersNoFurtherFolder() {
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_pyftpdlib and upload_tests_vsftpd");
        ftptest::RealServer* s = server(QStringLiteral("pyftpdlib"));
        if (!s)
            QSKIP("pyftpdlib cannot run here");
        startProgram();
        QString remote;
        const QString local = remoteFolder(s, &remote);
        upload(s, remote, true, "RadioButton3");
        waitForEnd();
        QVERIFY(shown(QStringLiteral("アップロード完了")));
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   CWD")), 1);
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   MKD")), 0);
        QVERIFY(QFile::exists(local + "/page.html"));
        QVERIFY(!QFile::exists(local + "/tavo-img"));
    }

    void wrongPasswordShowsOneBoxPerAttemptAndKeepsFtpIni() {
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_pyftpdlib and upload_tests_vsftpd");
        ftptest::RealServer* s = server(QStringLiteral("pyftpdlib"));
        if (!s)
            QSKIP("pyftpdlib cannot run here");
        startProgram();
        WriteAll(h_.folder() / "FTP.ini", "old\r\nold\r\n\r\n/\r\n");
        form()->client()->SetRetries(1);
        upload(s, QStringLiteral("/"), true, "RadioButton1", QStringLiteral("wrong"));
        // One attempt and one retry: a box each, then the client gives up.
        QTRY_COMPARE_WITH_TIMEOUT(h_.shown.size(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Busy() && !form()->client()->Connected(),
                                 10000);
        QCOMPARE(h_.shown.size(), 2);
        QCOMPARE(logCount(QStringLiteral("STATUS:>    Retrying")), 1);
        for (const auto& box : h_.shown)
            QCOMPARE(box.text, QStringLiteral("ERROR: ftpAccessDenied"));
        QCOMPARE(status(), QStringLiteral("接続中"));
        QVERIFY(!child<QPushButton>("Button1")->isEnabled());
        QCOMPARE(ReadAll(h_.folder() / "FTP.ini"), std::string("old\r\nold\r\n\r\n/\r\n"));
        form()->close();
        QVERIFY(!form()->isVisible());
    }

    void remoteImageFolderThatIsAFileEndsAbnormally() {
        startProgram();
        ftptest::ScriptedServer scripted;
        scripted.welcome = {"220-scripted\r\n", "220 ready\r\n"};
        scripted.addPlainLogin();
        scripted.add("CWD /", "250 ok\r\n");
        const std::string listing = "-rw-r--r-- 1 u g 3 Jan 15 12:34 tavo-img\r\n";
        AddListing(scripted, listing);
        scripted.add("PORT *", Port);
        AddPageStore(scripted,
                     [](ftptest::ScriptedServer& s, const std::string&) { s.receiveStore(); });
        scripted.add("MKD tavo-img", "550 File exists\r\n");
        scripted.add("CWD tavo-img", "550 Not a directory\r\n");
        scripted.add("PORT *", Port);
        scripted.add("LIST", [listing](ftptest::ScriptedServer& s, const std::string&) {
            s.sendListing(listing);
        });
        scripted.add("QUIT", "221 bye\r\n");

        uploadTo(scripted, QStringLiteral("/"));
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("異常終了"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected(), 10000);
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
        QCOMPARE(h_.shown.size(), 2);  // the refused MKD, then the refused CWD
        QCOMPARE(form()->UploadStage(), 0);
        QVERIFY(!std::filesystem::exists(h_.folder() / "FTP.ini"));
    }

    void refusedFolderEndsAbnormally() {
        startProgram();
        ftptest::ScriptedServer scripted;
        scripted.addPlainLogin();
        scripted.add("CWD /nowhere", "550 No such directory\r\n");
        AddListing(scripted, "-rw-r--r-- 1 u g 3 Jan 15 12:34 other.html\r\n");
        scripted.add("QUIT", "221 bye\r\n");
        uploadTo(scripted, QStringLiteral("/nowhere"));
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("異常終了"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected(), 10000);
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(h_.shown[0].text.startsWith(QStringLiteral("ERROR: ftp")));
        QVERIFY(!QString::fromStdString(Transcript(scripted)).contains(QStringLiteral("STOR")));
        QVERIFY(!std::filesystem::exists(h_.folder() / "FTP.ini"));
    }

    void refusedStoreKeepsTheSessionUntilTheUserCloses() {
        startProgram();
        ftptest::ScriptedServer scripted;
        scripted.addPlainLogin();
        scripted.add("CWD /", "250 ok\r\n");
        AddListing(scripted, "-rw-r--r-- 1 u g 3 Jan 15 12:34 other.html\r\n", [this] {
            // The fields stay editable; the page still goes up under the name it started with.
            edit("Edit5")->setText(QStringLiteral("sub/other.html"));
        });
        scripted.add("PORT *", Port);
        scripted.add("STOR page.html.tavo-part", "553 Permission denied\r\n");
        // Its temporary name is cleared away; that nothing was there is only logged.
        scripted.add("DELE page.html.tavo-part", "550 No such file\r\n");
        scripted.add("QUIT", "221 bye\r\n");
        uploadTo(scripted, QStringLiteral("/"));
        QTRY_COMPARE_WITH_TIMEOUT(form()->UploadStage(), -1, 10000);
        QTest::qWait(200);  // nothing more follows the refusal
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
        QCOMPARE(form()->UploadStage(), -1);
        QVERIFY(form()->client()->Connected());
        QCOMPARE(h_.shown.size(), 1);
        QCOMPARE(h_.shown[0].kind, MessageBox::Kind::Error);
        QVERIFY(!shown(QStringLiteral("アップロード完了")));
        QVERIFY(!std::filesystem::exists(h_.folder() / "FTP.ini"));
        QVERIFY(!QString::fromStdString(Transcript(scripted)).contains(QStringLiteral("QUIT")));

        // Escape asks like the close box; "Yes" ends the session.
        QTest::keyClick(form(), Qt::Key_Escape);
        QVERIFY(!form()->isVisible());
        QCOMPARE(h_.shown.last().text, QStringLiteral("接続を切断してアップロードを終了します"));
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected(), 10000);
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
        QCOMPARE(scripted.transcript.back(), std::string("QUIT"));
    }

    void closingWhileConnectedAsks() {
        startProgram();
        ftptest::ScriptedServer scripted;
        scripted.addPlainLogin();
        scripted.add("CWD /",
                     [](ftptest::ScriptedServer&, const std::string&) {});  // never answered
        scripted.add("QUIT", "221 bye\r\n");
        showUnencrypted();
        edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
        edit("Edit2")->setText(QStringLiteral("bob"));
        edit("Edit3")->setText(QStringLiteral("secret"));
        form()->client()->SetPort(scripted.port());
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        dropMissingImagesQuestion();
        QTRY_VERIFY_WITH_TIMEOUT(
            form()->client()->Connected() && status() == QStringLiteral("Login"), 10000);

        // Cancel keeps the dialog and the session, whether the close box or Escape asked.
        h_.answers << MessageBox::Button::Cancel << MessageBox::Button::Cancel;
        form()->close();
        QVERIFY(form()->isVisible());
        QCOMPARE(h_.shown.last().kind, MessageBox::Kind::Question);
        QCOMPARE(h_.shown.last().text, QStringLiteral("接続を切断してアップロードを終了します"));
        QTest::keyClick(form(), Qt::Key_Escape);
        QVERIFY(form()->isVisible());
        QCOMPARE(h_.shown.size(), 2);
        QCOMPARE(h_.shown.last().kind, MessageBox::Kind::Question);
        QVERIFY(form()->client()->Connected());

        // "Yes" while the client waits for an answer: it refuses the QUIT as busy, and the
        // dialog closes all the same.
        form()->close();
        QVERIFY(!form()->isVisible());
    }

    void restoringTheMinimisedDialogKeepsItsFields() {
        startProgram();
        form()->show();
        QVERIFY(QTest::qWaitForWindowExposed(form()));
        edit("Edit1")->setText(QStringLiteral("ftp.example.net"));
        edit("Edit5")->setText(QStringLiteral("diary.html"));
        form()->showMinimized();
        QTRY_VERIFY(form()->isMinimized());
        form()->showNormal();
        QTRY_VERIFY(!form()->isMinimized());
        QCoreApplication::processEvents();
        QCOMPARE(edit("Edit1")->text(), QStringLiteral("ftp.example.net"));
        QCOMPARE(edit("Edit5")->text(), QStringLiteral("diary.html"));
    }

    void logLinesByStyle() {
        using tavo::ftp::MessengerLines;
        const QString twelve(12, QLatin1Char(' '));
        QCOMPARE(MessengerLines(tavo::ftp::msgClassic, MessageKind::Command, "USER bob\r\n"),
                 (QStringList{"COMMAND:>   USER bob", twelve}));
        QCOMPARE(MessengerLines(tavo::ftp::msgClassic, MessageKind::Reply, "220-a\r\n220 b\r\n"),
                 (QStringList{twelve + "220-a", twelve + "220 b", twelve}));
        QCOMPARE(MessengerLines(tavo::ftp::msgClassic, MessageKind::Status, "x"),
                 (QStringList{"STATUS:>    x"}));
        QCOMPARE(MessengerLines(tavo::ftp::msgClassic, MessageKind::Error, "e\r\n"),
                 (QStringList{"ERROR:>     e", twelve}));
        QCOMPARE(MessengerLines(tavo::ftp::msgClassic, MessageKind::Debug, "d"),
                 (QStringList{"DEBUG:>     d"}));
        QCOMPARE(MessengerLines(tavo::ftp::msgClassic, MessageKind::Exception, "x"),
                 (QStringList{"Exception:> x"}));
        QVERIFY(MessengerLines(tavo::ftp::msgClassic, MessageKind::Status, " \r\n ").isEmpty());
        QCOMPARE(MessengerLines(tavo::ftp::msgQFtp, MessageKind::Command, "a\r\nb"),
                 (QStringList{"a\r\nb"}));
        QCOMPARE(MessengerLines(tavo::ftp::msgQFtpTime, MessageKind::Status, "s", "T"),
                 (QStringList{"[T] s"}));
        QCOMPARE(MessengerLines(tavo::ftp::msgQFtpTime, MessageKind::Reply, "r", "T"),
                 (QStringList{"r"}));
        QVERIFY(tavo::ftp::MessengerColor(tavo::ftp::msgClassic, MessageKind::Command) !=
                tavo::ftp::MessengerColor(tavo::ftp::msgClassic, MessageKind::Status));
    }

    void errorMessagesByCode() {
        // By code, as users quote them; two have always been cut short.
        const char* const names[] = {"ftpNone",
                                     "ftpNetworkDown",
                                     "ftpInvalidAddress",
                                     "ftpInternalError",
                                     "ftpGeneralWinsockError",
                                     "ftpConnAborted",
                                     "ftpConnRese",
                                     "ftpConnectTimeOut",
                                     "ftpOutofSockets",
                                     "ftpNetworkUnreachable",
                                     "ftpAddressNotAvailable",
                                     "ftpConnectionRefused",
                                     "ftpProtocolError",
                                     "ftpCanceled",
                                     "ftpUnknown",
                                     "ftpAddressResolutionError",
                                     "ftpPrematureDisconnect",
                                     "ftpHostUnreachable",
                                     "ftpNoServer",
                                     "ftpNoProxyServer",
                                     "ftpFileOpen",
                                     "ftpFileWrite",
                                     "ftpFileRead",
                                     "ftpFileNotFound",
                                     "ftpTimeOut",
                                     "ftpServerDow",
                                     "ftpAccessDenied",
                                     "ftpDataError",
                                     "ftpResumeFailed",
                                     "ftpPermissionDenied",
                                     "ftpBadURL",
                                     "ftpTransferType",
                                     "ftpTransferPort",
                                     "ftpTransferFatalPort",
                                     "ftpTransferGet",
                                     "ftpTransferPut",
                                     "ftpTransferFatalError",
                                     "ftpTransferResumeFailed"};
        QCOMPARE(static_cast<int>(std::size(names)), 38);
        for (int code = 0; code < 38; ++code)
            QCOMPARE(UploadErrorMessage(static_cast<tavo::ftp::FtpError>(code)),
                     QStringLiteral("ERROR: ") + QLatin1String(names[code]));
    }

    void messengerListensAndCanBeQuietened() {
        tavo::ftp::TQFtp client;
        TQFtpMessenger messenger;
        messenger.SetClient(&client);
        client.SetServer(QStringLiteral("ftp.example.com"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoNotConnected, QString()), QString());
        QCOMPARE(
            messenger.InfoText(tavo::ftp::ftpInfoConnected, QStringLiteral("192.0.2.1")),
            QStringLiteral(
                "Connected to ftp.example.com(ip: 192.0.2.1), waiting for welcome message\r\n"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoNotConnected, QString()),
                 QStringLiteral("Disconnected\r\n"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoNotConnected, QString()), QString());
        client.SetServer(QStringLiteral("192.0.2.1"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoConnected, QStringLiteral("192.0.2.1")),
                 QStringLiteral("Connected to 192.0.2.1, waiting for welcome message\r\n"));
        client.SetServer(QString());
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoConnected, QString()),
                 QStringLiteral("Connected to specified server, waiting for welcome message\r\n"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoLoggedIn, QString()),
                 QStringLiteral("Login successful\r\n"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoRetrying, QStringLiteral("Retrying...")),
                 QStringLiteral("Retrying...\r\n"));
        QCOMPARE(messenger.InfoText(tavo::ftp::ftpInfoProgress, QStringLiteral("1")), QString());

        // The messenger holds one listener of each kind in its client: three more fit, and
        // switching to another client frees them.
        for (int i = 0; i < 3; ++i)
            QVERIFY(client.AddInfoListener([](auto*, auto, const QString&) {}) >= 0);
        QCOMPARE(client.AddInfoListener([](auto*, auto, const QString&) {}), -1);
        tavo::ftp::TQFtp other;
        messenger.SetClient(&other);
        QVERIFY(client.AddInfoListener([](auto*, auto, const QString&) {}) >= 0);

        // What the handlers hold back leaves no line: here the commands and the refused login.
        messenger.SetClient(nullptr);
        tavo::ftp::TQFtp session;
        TQFtpMessenger quiet;
        quiet.SetClient(&session);
        quiet.OnMessageShow = [](TQFtpMessenger*, tavo::ftp::FtpInfo info, bool& show) {
            show = info != tavo::ftp::ftpInfoCommandSent;
        };
        quiet.OnErrorShow = [](TQFtpMessenger*, tavo::ftp::FtpError error, bool& show) {
            show = error != tavo::ftp::ftpAccessDenied;
        };
        ftptest::ScriptedServer scripted;
        scripted.add("USER bob", "331 Password required\r\n");
        scripted.add("PASS wrong", "530 Login incorrect\r\n");
        session.SetServer(QStringLiteral("127.0.0.1"));
        session.SetPort(scripted.port());
        session.SetUsername(QStringLiteral("bob"));
        session.SetPassword(QStringLiteral("wrong"));
        session.SetRetries(0);
        session.Login();
        QTRY_VERIFY_WITH_TIMEOUT(quiet.toPlainText().contains(QStringLiteral("530")), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!session.Busy() && !session.Connected(), 10000);
        const QString text = quiet.toPlainText();
        QVERIFY2(text.contains(QStringLiteral("STATUS:>    Connected to 127.0.0.1")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("530 Login incorrect")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("COMMAND:>")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("ERROR:>")), qPrintable(text));
    }

    // A server that breaks off or stops answering ends the upload with one error box and
    // nothing of a completed one.
    void faultyServerEndsTheUploadWithOneError_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("error");
        QTest::newRow("421 and close after TYPE A") << "TYPE A"
                                                    << "ERROR: ftp";
        QTest::newRow("421 and close after PORT") << "PORT *"
                                                  << "ERROR: ftp";
        QTest::newRow("welcome that never ends") << "welcome"
                                                 << "ERROR: ftpTimeOut";
        QTest::newRow("150 for ever, no data connection")
            << "150"
            << "ファイルを送るための接続（データ接続）を確立できませんでした";
        QTest::newRow("226 with the data connection open") << "226"
                                                           << "ERROR: ftpTimeOut";
    }

    void faultyServerEndsTheUploadWithOneError() {
        QFETCH(QString, fault);
        QFETCH(QString, error);
        startProgram();
        ftptest::ScriptedServer scripted;
        if (fault == QLatin1String("welcome")) {
            scripted.welcome = {"220-hello\r\n"};
            scripted.onConnect = [](ftptest::ScriptedServer& s) { s.repeat(".", 50, 1); };
        } else if (fault == QLatin1String("150")) {
            ScriptToListing(scripted, [](ftptest::ScriptedServer& s, const std::string&) {
                s.repeat("150 Opening data connection\r\n", 50);
            });
        } else if (fault == QLatin1String("226")) {
            ScriptToListing(scripted, [](ftptest::ScriptedServer& s, const std::string&) {
                s.send("150 Here comes the listing\r\n");
                s.withData([&s](QTcpSocket* d) {
                    d->write("-rw-r--r-- 1 u g 3 Jan 15 12:34 a.html\r\n");
                    QTimer::singleShot(50, &s, [&s] { s.send("226 Transfer complete\r\n"); });
                });
            });
        } else {
            scripted.addPlainLogin();
            scripted.add("CWD /", "250 \"/\" is the current directory\r\n");
            if (fault != QLatin1String("TYPE A"))
                scripted.add("TYPE A", "200 ok\r\n");
            scripted.add(fault.toStdString(), [](ftptest::ScriptedServer& s, const std::string&) {
                s.send("421 service not available, closing control connection\r\n");
                s.closeControl();
            });
        }
        // Each box stays up a while with events running, as a modal one does before a person.
        MessageBox::setResponder([this](const MessageBox::Shown& box) {
            h_.shown << box;
            ftptest::Pump(300);
            return h_.answers.isEmpty() ? box.buttons.first() : h_.answers.takeFirst();
        });
        form()->client()->SetReplyTimeOutMs(500);
        form()->client()->SetRetries(0);
        uploadTo(scripted, QStringLiteral("/"));
        expectFailure(error);
        QCOMPARE(errorBoxes().size(), 1);
    }

    // FTPS to vsftpd, which demands TLS on every connection and the control connection's
    // session on the data connections. Its certificate is its own: the user is asked once.
    void ftpsUploadAfterTrustingTheCertificate_data() {
        QTest::addColumn<bool>("passive");
        QTest::newRow("active") << false;
        QTest::newRow("passive") << true;
    }

    void ftpsUploadAfterTrustingTheCertificate() {
        QFETCH(bool, passive);
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_ftps");
        auto* s = static_cast<ftptest::Vsftpd*>(server(QStringLiteral("vsftpd-tls")));
        if (!s)
            QSKIP("vsftpd with TLS cannot run here");
        const QString fingerprint = tavo::ftp::FingerprintText(
            tavo::ftp::CertificateSha256(QSslCertificate::fromPath(s->CertificatePath()).value(0)));
        const std::string key = "127.0.0.1:" + std::to_string(s->port);
        startProgram();
        QString remote;
        const QString local = remoteFolder(s, &remote);
        WriteFile(local + "/page.html", "the old page");
        QCOMPARE(child<QComboBox>("ComboBox1")->currentText(),
                 QStringLiteral("FTPS（TLSで暗号化）"));

        upload(s, remote, passive, "RadioButton1", QString(), true);
        waitForEnd();
        QVERIFY2(shown(QStringLiteral("アップロード完了")), qPrintable(log()));
        const auto& question = h_.shown[0];
        QCOMPARE(question.kind, MessageBox::Kind::Warning);
        QCOMPARE(question.buttons, (QList{MessageBox::Button::Trust, MessageBox::Button::Cancel}));
        for (const QString& part :
             {QString::fromStdString(key), QStringLiteral("発行先: 127.0.0.1"),
              QStringLiteral("発行者: 127.0.0.1"), "SHA-256: " + fingerprint})
            QVERIFY2(question.text.contains(part), qPrintable(question.text));
        expectPageAndImagesIn(local);
        QVERIFY(!QFileInfo::exists(local + "/page.html.tavo-part"));
        QVERIFY(ReadAll(h_.folder() / "FTP.ini")
                    .ends_with(passive ? "\r\nFTPS\r\nPASV\r\n" : "\r\nFTPS\r\nPORT\r\n"));
        QCOMPARE(ReadAll(h_.folder() / "ftp-trust.ini"),
                 "[" + key + "]\r\ntls=yes\r\ncertificate=" + fingerprint.toStdString() +
                     "\r\nrename=yes\r\n");
        QVERIFY(log().contains(QStringLiteral("TLS 1.3, certificate trusted by the user")));
        // Passive asks with EPSV for each transfer (a listing, three stores), which vsftpd takes.
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   EPSV")), passive ? 4 : 0);
        QCOMPARE(logCount(QStringLiteral("COMMAND:>   PASV")), 0);
        QVERIFY(!log().contains(s->password));

        // Trusted from now on: the next upload asks nothing.
        upload(s, remote, passive, "RadioButton3", QString(), true);
        waitForEnd();
        QVERIFY(shown(QStringLiteral("アップロード完了")));
        for (const auto& box : h_.shown)
            QVERIFY2(box.kind != MessageBox::Kind::Warning, qPrintable(box.text));
    }

    // Every way encryption is refused stops before the password is sent, says why, and
    // leaves the server and the settings as they were.
    void refusedEncryptionStopsWithItsReason_data() {
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<QString>("trust");   // ftp-trust.ini's lines for the server
        QTest::addColumn<bool>("fourLines");  // an FTP.ini of an older version
        QTest::addColumn<QString>("reason");
        QTest::newRow("trust declined")
            << "vsftpd-tls"
            << "" << false << "この証明書を、このサーバの証明書として信頼しますか？";
        QTest::newRow("changed certificate")
            << "vsftpd-tls"
            << "certificate=00:11:22" << false << "の証明書が、信頼すると記録した証明書と違います";
        QTest::newRow("downgrade") << "pyftpdlib"
                                   << "tls=yes" << false << "はこれまで暗号化に対応していましたが";
        QTest::newRow("not offered") << "pyftpdlib"
                                     << "" << false << "は暗号化に対応していません。";
        QTest::newRow("four-line FTP.ini, clear text declined")
            << "pyftpdlib"
            << "" << true
            << "このサーバは暗号化に対応していません。パスワードを暗号化せずに送信しますか？";
    }

    void refusedEncryptionStopsWithItsReason() {
        QFETCH(QString, serverName);
        QFETCH(QString, trust);
        QFETCH(bool, fourLines);
        QFETCH(QString, reason);
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_ftps");
        ftptest::RealServer* s = server(serverName);
        if (!s)
            QSKIP(qPrintable(serverName + " cannot run here"));
        startProgram();
        QString remote;
        const QString local = remoteFolder(s, &remote);
        const std::string trustFile = trust.isEmpty() ? std::string()
                                                      : "[127.0.0.1:" + std::to_string(s->port) +
                                                            "]\r\n" + trust.toStdString() + "\r\n";
        if (!trustFile.empty())
            WriteAll(h_.folder() / "ftp-trust.ini", trustFile);
        const std::string ftpIni = "127.0.0.1\r\n" + s->user.toStdString() + "\r\n\r\n/\r\n";
        if (fourLines)
            WriteAll(h_.folder() / "FTP.ini", ftpIni);
        h_.answers << MessageBox::Button::Cancel;  // the question, where one comes
        upload(s, remote, true, "RadioButton3", QString(), true);
        QTRY_VERIFY_WITH_TIMEOUT(!h_.shown.isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected() && !form()->client()->Busy(),
                                 10000);
        QTest::qWait(300);  // a retry or a late completion would come here
        QCOMPARE(h_.shown.size(), 1);
        QVERIFY2(h_.shown[0].text.contains(reason), qPrintable(h_.shown[0].text));
        QVERIFY(!log().contains(QStringLiteral("USER")));
        QVERIFY(QDir(local).entryList(QDir::Files).isEmpty());
        QCOMPARE(fourLines ? ReadAll(h_.folder() / "FTP.ini") == ftpIni
                           : !std::filesystem::exists(h_.folder() / "FTP.ini"),
                 true);
        QCOMPARE(trustFile.empty() ? !std::filesystem::exists(h_.folder() / "ftp-trust.ini")
                                   : ReadAll(h_.folder() / "ftp-trust.ini") == trustFile,
                 true);
    }

    // A diary whose FTP.ini an older version wrote tries TLS first and asks once before
    // sending the password in clear text to a server without it (declined: see above).
    void fourLineFtpIniGoesUnencryptedWhenAllowed() {
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_pyftpdlib");
        ftptest::RealServer* s = server(QStringLiteral("pyftpdlib"));
        if (!s)
            QSKIP("pyftpdlib cannot run here");
        startProgram();
        QString remote;
        const QString local = remoteFolder(s, &remote);
        const std::string old = "127.0.0.1\r\n" + s->user.toStdString() + "\r\n" +
                                tavo::EncodeText(s->password.toStdString()) + "\r\n" +
                                remote.toStdString() + "\r\n";
        WriteAll(h_.folder() / "FTP.ini", old);
        upload(s, remote, true, "RadioButton3", QString(), true);
        waitForEnd();
        QCOMPARE(
            h_.shown[0].text,
            QStringLiteral(
                "このサーバは暗号化に対応していません。パスワードを暗号化せずに送信しますか？"));
        QVERIFY2(shown(QStringLiteral("アップロード完了")), qPrintable(log()));
        QVERIFY(QFileInfo::exists(local + "/page.html"));
        QCOMPARE(ReadAll(h_.folder() / "FTP.ini"), old + "FTP\r\nPASV\r\n");
        QCOMPARE(child<QComboBox>("ComboBox1")->currentIndex(), 1);
    }

    // The page travels under a temporary name: a transfer cut short leaves the old page
    // online as it was, and the next upload replaces it whole.
    void cutPageTransferKeepsTheOldPage() {
        if (qEnvironmentVariableIsSet("TAVO_SERVER_TESTS_APART"))
            QSKIP("run by upload_tests_vsftpd");
        auto* s = static_cast<ftptest::Vsftpd*>(server(QStringLiteral("vsftpd")));
        if (!s)
            QSKIP("vsftpd cannot run here");
        startProgram();
        QString remote;
        const QString local = remoteFolder(s, &remote);
        WriteFile(local + "/page.html", "the old page");
        auto* richEdit = Child<QPlainTextEdit>(program_->H_OutForm(), "RichEdit1");
        richEdit->setPlainText(QStringLiteral("<html>%1</html>").arg(QString(4 << 20, 'x')));
        bool cut = false;
        const int slot = form()->client()->AddInfoListener([&](TQFtp* ftp, tavo::ftp::FtpInfo info,
                                                               const QString&) {
            if (!cut && info == tavo::ftp::ftpInfoProgress &&
                ftp->BytesTransferred() > (256 << 10) && status() == QStringLiteral("page.html")) {
                cut = true;
                s->KillSessions();
            }
        });
        upload(s, remote, true, "RadioButton3");
        QTRY_VERIFY_WITH_TIMEOUT(!errorBoxes().isEmpty(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected(), 10000);
        form()->client()->RemoveInfoListener(slot);
        QVERIFY(cut);
        QVERIFY(!shown(QStringLiteral("アップロード完了")));
        QCOMPARE(ReadFile(local + "/page.html"), QByteArray("the old page"));
        form()->close();

        richEdit->setPlainText(kPage);
        upload(s, remote, true, "RadioButton3");
        waitForEnd();
        QVERIFY(shown(QStringLiteral("アップロード完了")));
        QVERIFY(ReadFile(local + "/page.html").startsWith("<html><body>"));
        QVERIFY(!QFileInfo::exists(local + "/page.html.tavo-part"));
    }

    // What each kind of server leaves online once the page's copy arrived whole. The script
    // lists the commands after the first STOR in the order the server expects them ("<store>":
    // receive the data), so a DELE of the old page before the new one is whole would show as
    // a mismatch.
    void pageReplacesTheOldOneOnEveryServer_data() {
        QTest::addColumn<QString>("trust");  // ftp-trust.ini's lines for the server
        QTest::addColumn<QString>("listing");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("expectedLog");  // "": the upload fails
        QTest::addColumn<bool>("renameSeenAfter");
        const QString page = QStringLiteral("-rw-r--r-- 1 u g 3 Jan 15 12:34 page.html\r\n");
        const QStringList refused = {"RNFR page.html.tavo-part|350 ready",
                                     "RNTO page.html|553 Permission denied"};
        QTest::newRow("renames nothing: stored under its name")
            << "" << page
            << refused + QStringList{"PORT *|<port>", "STOR page.html|<store>",
                                     "DELE page.html.tavo-part|250 deleted"}
            << "「page.html」を直接保存しました" << false;
        QTest::newRow("renames only onto a free name and was seen renaming")
            << "rename=yes" << page
            << refused + QStringList{"DELE page.html|250 deleted",
                                     "RNFR page.html.tavo-part|350 ready",
                                     "RNTO page.html|250 renamed"}
            << "古いページを削除してから名前を変更します" << true;
        QTest::newRow("refuses the old page's deletion: stored under its name")
            << "rename=yes" << page
            << refused + QStringList{"DELE page.html|550 denied", "PORT *|<port>",
                                     "STOR page.html|<store>",
                                     "DELE page.html.tavo-part|250 deleted"}
            << "「page.html」を直接保存しました" << true;
        QTest::newRow("refuses rename and store: the copy stays")
            << "" << page
            << refused + QStringList{"PORT *|<port>", "STOR page.html|553 Permission denied"} << ""
            << false;
        QTest::newRow("copies of cut uploads go after success")
            << ""
            << page + "-rw-r--r-- 1 u g 3 Jan 15 12:34 200912.html.tavo-part\r\n" +
                   "-rw-r--r-- 1 u g 3 Jan 15 12:34 page.html.tavo-part\r\n"
            << QStringList{"RNFR page.html.tavo-part|350 ready", "RNTO page.html|250 renamed",
                           "DELE 200912.html.tavo-part|250 deleted"}
            << "中断したアップロードの一時ファイル「200912.html.tavo-part」を削除しました" << true;
    }

    void pageReplacesTheOldOneOnEveryServer() {
        QFETCH(QString, trust);
        QFETCH(QString, listing);
        QFETCH(QStringList, script);
        QFETCH(QString, expectedLog);
        QFETCH(bool, renameSeenAfter);
        startProgram();
        ftptest::ScriptedServer scripted;
        const std::string key = "[127.0.0.1:" + std::to_string(scripted.port()) + "]\r\n";
        if (!trust.isEmpty())
            WriteAll(h_.folder() / "ftp-trust.ini", key + trust.toStdString() + "\r\n");
        ScriptToListing(scripted, Listed(listing.toStdString()));
        scripted.add("PORT *", Port);
        scripted.add("STOR page.html.tavo-part",
                     [](ftptest::ScriptedServer& s, const std::string&) { s.receiveStore(); });
        for (const QString& step : script) {
            const std::string command = step.section(QLatin1Char('|'), 0, 0).toStdString();
            const QString reply = step.section(QLatin1Char('|'), 1);
            if (reply == QLatin1String("<port>"))
                scripted.add(command, Port);
            else if (reply == QLatin1String("<store>"))
                scripted.add(command, [](ftptest::ScriptedServer& s, const std::string&) {
                    s.receiveStore();
                });
            else
                scripted.add(command, reply.toStdString() + "\r\n");
        }
        child<QRadioButton>("RadioButton3")->setChecked(true);
        uploadTo(scripted, QStringLiteral("/"));
        if (expectedLog.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(form()->UploadStage(), -1, 10000);
            QTest::qWait(200);  // nothing more follows: no DELE of the copy
            QCOMPARE(errorBoxes().size(), 1);
            QVERIFY2(errorBoxes()[0].contains(QStringLiteral(
                         "一時ファイル「page.html.tavo-part」としてサーバに残しました。"
                         "古いページ「page.html」はそのまま残っています。")),
                     qPrintable(errorBoxes()[0]));
            QVERIFY(!shown(QStringLiteral("アップロード完了")));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(shown(QStringLiteral("アップロード完了")), 10000);
            QVERIFY(errorBoxes().isEmpty());
            QVERIFY2(log().contains(expectedLog), qPrintable(log()));
            // What arrived last is the page as the dialog wrote it.
            QCOMPARE(scripted.stored,
                     QByteArray::fromStdString(ReadAll(h_.folder() / "temp.html")));
        }
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
        const std::string trustFile = std::filesystem::exists(h_.folder() / "ftp-trust.ini")
                                          ? ReadAll(h_.folder() / "ftp-trust.ini")
                                          : std::string();
        QCOMPARE(trustFile == key + "rename=yes\r\n", renameSeenAfter);
    }

    // No data connection: the box says so in words, with the server's reply and the other
    // "接続方式" to try.
    void dataConnectionFailureSaysWhatToTry_data() {
        QTest::addColumn<bool>("passive");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("advice");
        QTest::newRow("active, 425") << false << "425 Can't open data connection."
                                     << "「パッシブ（推奨）」を選んで";
        QTest::newRow("passive, EPSV and PASV refused") << true << "502 PASV not allowed."
                                                        << "「アクティブ」を選んで";
    }

    void dataConnectionFailureSaysWhatToTry() {
        QFETCH(bool, passive);
        QFETCH(QString, reply);
        QFETCH(QString, advice);
        startProgram();
        ftptest::ScriptedServer scripted;
        ScriptToTypeA(scripted);
        const std::string line = reply.toStdString() + "\r\n";
        if (passive) {
            scripted.add("EPSV", "500 'EPSV': command not understood.\r\n");
            scripted.add("PASV", line);
        } else {
            scripted.add("PORT *", Port);
            scripted.add("LIST", line);
        }
        showUnencrypted();
        child<QComboBox>("ComboBox2")->setCurrentIndex(passive ? 0 : 1);
        edit("Edit1")->setText(QStringLiteral("127.0.0.1"));
        edit("Edit2")->setText(QStringLiteral("bob"));
        edit("Edit3")->setText(QStringLiteral("secret"));
        edit("Edit4")->setText(QStringLiteral("/"));
        edit("Edit5")->setText(QStringLiteral("page.html"));
        form()->client()->SetPort(scripted.port());
        form()->client()->SetCacheFolder(QString::fromStdString((h_.folder() / "cache").string()));
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        dropMissingImagesQuestion();
        expectFailure(
            QStringLiteral("ファイルを送るための接続（データ接続）を確立できませんでした"));
        const QString box = errorBoxes()[0];
        QVERIFY2(box.contains(reply) && box.contains(advice), qPrintable(box));
        QVERIFY2(!box.contains(QStringLiteral("ERROR:")), qPrintable(box));
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
    }

    void thirdHostGetsNothingInActiveMode() {
        startProgram();
        QByteArray intruded;
        bool reached = false;
        QTcpSocket intruder;
        if (!intruder.bind(QHostAddress(QStringLiteral("127.0.0.2"))))
            QSKIP("127.0.0.2 cannot be bound here");
        connect(&intruder, &QTcpSocket::connected, this, [&] { reached = true; });
        connect(&intruder, &QTcpSocket::readyRead, this, [&] { intruded += intruder.readAll(); });
        ftptest::ScriptedServer scripted;
        ScriptToListing(scripted, Listed(""));
        scripted.add("PORT *", [&intruder](ftptest::ScriptedServer& s, const std::string& c) {
            s.rememberPort(c);
            intruder.connectToHost(QHostAddress(QString::fromStdString(s.lastPortHost())),
                                   s.lastPort());
        });
        AddPageStore(scripted, [](ftptest::ScriptedServer& s, const std::string&) {
            // The server's own connection comes once the third host has had its go.
            QTimer::singleShot(300, &s, [&s] { s.receiveStore(); });
        });
        child<QRadioButton>("RadioButton3")->setChecked(true);
        uploadTo(scripted, QStringLiteral("/"));
        QTRY_VERIFY_WITH_TIMEOUT(shown(QStringLiteral("アップロード完了")), 5000);
        QVERIFY(reached);
        QVERIFY2(log().contains(QStringLiteral("Refused a data connection from 127.0.0.2")),
                 qPrintable(log()));
        QCOMPARE(intruded.size(), 0);
        QCOMPARE(scripted.stored, QByteArray::fromStdString(ReadAll(h_.folder() / "temp.html")));
        QVERIFY(errorBoxes().isEmpty());
    }

    void retriesWaitTheIntervalOnceAndStopOnClose() {
        startProgram();
        struct Times {
            QElapsedTimer clock;
            QList<qint64> connected, errors;
        };
        auto times = std::make_shared<Times>();
        times->clock.start();
        MessageBox::setResponder([this, times](const MessageBox::Shown& box) {
            h_.shown << box;
            if (box.kind == MessageBox::Kind::Error)
                times->errors << times->clock.elapsed();
            return h_.answers.isEmpty() ? box.buttons.first() : h_.answers.takeFirst();
        });
        ftptest::ScriptedServer scripted;
        scripted.add("USER bob", "331 Password required\r\n");
        scripted.add("PASS secret", "530 Login incorrect\r\n");
        scripted.onConnect = [times](ftptest::ScriptedServer&) {
            times->connected << times->clock.elapsed();
        };
        form()->client()->SetRetries(2);
        form()->client()->SetRetryIntervalMs(300);
        uploadTo(scripted, QStringLiteral("/"));
        QTRY_VERIFY_WITH_TIMEOUT(times->errors.size() == 3 && !form()->client()->Busy() &&
                                     !form()->client()->Connected(),
                                 10000);
        QTest::qWait(500);
        QCOMPARE(times->connected.size(), 3);
        QCOMPARE(times->errors.size(), 3);
        for (int i = 1; i < 3; ++i) {
            const qint64 gap = times->connected[i] - times->errors[i - 1];
            QVERIFY2(gap >= 200 && gap <= 700, qPrintable(QStringLiteral("%1 ms").arg(gap)));
        }

        // Closed while it waits to try again: nothing follows.
        form()->close();
        form()->client()->SetRetryIntervalMs(600);
        times->connected.clear();
        times->errors.clear();
        uploadTo(scripted, QStringLiteral("/"));
        QTRY_COMPARE_WITH_TIMEOUT(times->errors.size(), 1, 10000);
        form()->close();
        QVERIFY(!form()->isVisible());
        QTest::qWait(1000);
        QCOMPARE(times->connected.size(), 1);
        QCOMPARE(times->errors.size(), 1);
        QVERIFY(!form()->client()->Busy());
        QVERIFY(!form()->client()->Connected());
    }

    void serverFieldTakesAPort_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("field");  // %1: the port
        QTest::newRow("IPv4") << "127.0.0.1"
                              << "127.0.0.1:%1";
        QTest::newRow("IPv6") << "::1"
                              << "[::1]:%1";
    }

    void serverFieldTakesAPort() {
        QFETCH(QString, address);
        QFETCH(QString, field);
        startProgram();
        ftptest::ScriptedServer scripted{QHostAddress(address)};
        if (!scripted.listening())
            QSKIP(qPrintable(address + " cannot listen here"));
        scripted.addPlainLogin();
        scripted.add("CWD /", [](ftptest::ScriptedServer&, const std::string&) {});  // unanswered
        showUnencrypted();
        edit("Edit1")->setText(field.arg(scripted.port()));
        edit("Edit2")->setText(QStringLiteral("bob"));
        edit("Edit3")->setText(QStringLiteral("secret"));
        edit("Edit4")->setText(QStringLiteral("/"));
        edit("Edit5")->setText(QStringLiteral("page.html"));
        QCOMPARE(form()->client()->Port(), 21);
        QTest::mouseClick(child<QPushButton>("Button1"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Login"), 5000);
        QVERIFY2(scripted.mismatches.empty(), Transcript(scripted).c_str());
        QCOMPARE(scripted.transcript.front(), std::string("USER bob"));
        QVERIFY(errorBoxes().isEmpty());
        form()->close();
        QTRY_VERIFY_WITH_TIMEOUT(!form()->client()->Connected(), 5000);
    }
};

TAVO_GUI_TEST_MAIN(UploadTest)
#include "upload_test.moc"
