// Upload throughput of TQFtp against pyftpdlib on loopback, active and passive, side by
// side with `curl -T` to the same server in the same run: one 50 MiB file, and 200 files of
// 4 KiB in one session. Prints the medians of a few runs and the ratio curl / TQFtp time.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ftp/ftp_test_support.h"  // tests/ftp
#include "ftp/qftp.h"
#include "ftp/real_server.h"

using namespace tavo::ftp;
using namespace ftptest;

namespace {

constexpr int kRuns = 3;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

// Seconds for uploading the files in one session (login and quit not counted); -1 on error.
double TQFtpUpload(RealServer& server, bool passive, const QStringList& files,
                   const QString& remoteDir) {
    TQFtp ftp;
    Recorder rec(ftp);
    ftp.SetServer("127.0.0.1");
    ftp.SetPort(server.port);
    ftp.SetUsername(server.user);
    ftp.SetPassword(server.password);
    ftp.SetRetries(0);
    ftp.SetPassive(passive);
    ftp.SetCache(false);
    ftp.SetServerType(ftpstUNIX);
    ftp.SetCacheFolder(QDir::tempPath() + "/tavo-ftp-bench-cache/");
    ftp.Login();
    if (!WaitFor([&] { return rec.Has("LoggedIn") || rec.quits; }, 20000) || !rec.Has("LoggedIn"))
        return -1;
    ftp.ChangeDirectory(remoteDir);
    if (!WaitFor([&] { return rec.Has("DirectoryChanged"); }) || !rec.errors.empty())
        return -1;
    QElapsedTimer clock;
    clock.start();
    int stored = 0;
    for (const QString& f : files) {
        ftp.UploadFile(f, QFileInfo(f).fileName());
        if (!WaitFor([&] { return rec.Count("FileStored") > stored; }, 120000))
            return -1;
        ++stored;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (!rec.errors.empty())
        return -1;
    ftp.Quit();
    WaitFor([&] { return rec.quits > 0; }, 5000);
    return seconds;
}

// Seconds for `curl -T` of the files in one invocation (login included: curl cannot leave
// it out); -1 on error.
double CurlUpload(RealServer& server, bool passive, const QStringList& files,
                  const QString& remoteDir) {
    QStringList args{"-s", "-S", "--user", server.user + ":" + server.password};
    if (!passive)
        args << "--ftp-port"
             << "127.0.0.1";
    QString upload = files.size() == 1 ? files[0] : "{" + files.join(',') + "}";
    args
        << "-T" << upload
        << QString("ftp://127.0.0.1:%1%2/").arg(server.port).arg(remoteDir == "/" ? "" : remoteDir);
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer clock;
    clock.start();
    curl.start("curl", args);
    if (!curl.waitForFinished(300000) || curl.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PyFtpdlib server;
    server.quiet = true;
    if (!server.Start()) {
        std::fprintf(stderr, "pyftpdlib cannot run: %s\n", qPrintable(server.failure));
        return 1;
    }
    QTemporaryDir local;
    // One 50 MiB file.
    QByteArray big(50 * 1024 * 1024, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (qsizetype i = 0; i < big.size(); i += 4) {
        const quint32 r = gen.generate();
        std::memcpy(big.data() + i, &r, 4);
    }
    WriteFile(local.path() + "/big.bin", big);
    big.clear();
    // 200 files of 4 KiB.
    QDir().mkpath(local.path() + "/small");
    QStringList small;
    for (int i = 0; i < 200; ++i) {
        QByteArray b(4096, Qt::Uninitialized);
        for (auto& c : b)
            c = static_cast<char>(gen.generate());
        const QString path =
            QString("%1/small/f%2.bin").arg(local.path()).arg(i, 3, 10, QChar('0'));
        WriteFile(path, b);
        small << path;
    }
    QDir(server.home).mkpath("tq");
    QDir(server.home).mkpath("curl");

    std::printf("%-28s %-8s %12s %12s %8s\n", "workload", "mode", "TQFtp s", "curl -T s",
                "curl/TQ");
    struct Workload {
        const char* name;
        QStringList files;
        double megabytes;
    } workloads[] = {{"50 MiB file", {local.path() + "/big.bin"}, 50.0},
                     {"200 files of 4 KiB", small, 200 * 4 / 1024.0}};
    bool ok = true;
    for (const auto& w : workloads) {
        for (bool passive : {false, true}) {
            std::vector<double> tq, cu;
            for (int run = 0; run < kRuns; ++run) {
                tq.push_back(TQFtpUpload(server, passive, w.files, "/tq"));
                cu.push_back(CurlUpload(server, passive, w.files, "/curl"));
            }
            if (*std::min_element(tq.begin(), tq.end()) < 0 ||
                *std::min_element(cu.begin(), cu.end()) < 0) {
                std::printf("%-28s %-8s failed\n", w.name, passive ? "passive" : "active");
                ok = false;
                continue;
            }
            const double t = Median(tq), c = Median(cu);
            std::printf("%-28s %-8s %12.3f %12.3f %8.2f   (%.0f MiB/s vs %.0f MiB/s)\n", w.name,
                        passive ? "passive" : "active", t, c, c / t, w.megabytes / t,
                        w.megabytes / c);
        }
    }
    return ok ? 0 : 1;
}
