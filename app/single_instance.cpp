#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>

#include "common/ui_text.h"
#include "core/text_file.h"
#include "uikit/message_box.h"

namespace {

constexpr int kAnswerTimeoutMs = 3000;
// "raise\n", or "raise YYYY-MM-DD\n" for a start that names a day.
const QByteArray kRaiseRequest = QByteArrayLiteral("raise");
const QByteArray kRaiseAnswer = QByteArrayLiteral("ok\n");

// One name per folder and user, whatever way the folder was reached.
QString ServerNameFor(const std::filesystem::path& programFolder) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::weakly_canonical(programFolder, ec);
    if (ec)
        folder = programFolder;
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(folder.string()),
                                                     QCryptographicHash::Sha256);
    return QStringLiteral("tavo-") + QString::fromLatin1(hash.toHex().left(24));
}

}  // namespace

DiaryInstance::DiaryInstance(const std::filesystem::path& programFolder, std::optional<QDate> date,
                             QObject* parent)
    : QObject(parent),
      serverName_(ServerNameFor(programFolder)),
      date_(date),
      lock_(FromPath(LockPath(programFolder))) {
    // Only a dead program's lock is stale, however old it is: a diary may stay open for days.
    lock_.setStaleLockTime(0);
}

DiaryInstance::~DiaryInstance() = default;

std::filesystem::path DiaryInstance::LockPath(const std::filesystem::path& programFolder) {
    return programFolder / "tavo.lock";
}

DiaryInstance::Claim DiaryInstance::claim() {
    // Where no lock can be made at all (read-only media), nothing can be written either.
    if (lock_.tryLock(0) || lock_.error() != QLockFile::LockFailedError) {
        listen();
        return Claim::First;
    }
    if (askRunningProgram())
        return Claim::Handed;
    // Qt tells a stale lock by its program's process, which only the computer that wrote
    // the lock can see: another computer's lock is never stale here, however long ago
    // that computer stopped.
    QString host;
    if (lock_.getLockInfo(nullptr, &host, nullptr) && !host.isEmpty() &&
        host != QSysInfo::machineHostName()) {
        lockHost_ = host;
        return Claim::OtherComputer;
    }
    return Claim::Busy;
}

bool DiaryInstance::takeOver(std::string* error) {
    // Qt removes the lock whichever computer wrote it, unless a program still holds it
    // locked (one here, or on some network file systems one there).
    lock_.removeStaleLockFile();
    if (!lock_.tryLock(0)) {
        *error = tavo::FileErrorText("ロックファイルを引き継げません", ToPath(lock_.fileName()),
                                     lock_.error() == QLockFile::LockFailedError
                                         ? "ほかのプログラムがまだ使っています"
                                         : "書き込めません");
        return false;
    }
    listen();
    return true;
}

void DiaryInstance::listen() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A crashed program leaves its socket behind; we hold the lock, so it is not in use.
    QLocalServer::removeServer(serverName_);
    if (!server_->listen(serverName_))
        return;  // later starts then find no answer and say so; this one works as before
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine())
                    return;
                const QList<QByteArray> words = socket->readLine(64).trimmed().split(' ');
                std::optional<QDate> date;
                if (words.size() == 2)
                    date = QDate::fromString(QString::fromLatin1(words[1]), Qt::ISODate);
                if (words.value(0) != kRaiseRequest || words.size() > 2 ||
                    (date && !date->isValid())) {
                    socket->disconnectFromServer();
                    return;
                }
                if (raiseHandler_)
                    raiseHandler_(date);
                socket->write(kRaiseAnswer);
                socket->flush();
            });
        }
    });
}

bool DiaryInstance::askRunningProgram() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kAnswerTimeoutMs))
        return false;
    QByteArray request = kRaiseRequest;
    if (date_)
        request += ' ' + date_->toString(Qt::ISODate).toLatin1();
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(kAnswerTimeoutMs))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n') && answer.size() < 64) {
        if (!socket.waitForReadyRead(kAnswerTimeoutMs))
            return false;
        answer += socket.readAll();
    }
    return answer == kRaiseAnswer;
}

namespace {

DiaryAccess ChooseForOtherComputer(DiaryInstance& instance) {
    const QString host = instance.lockHost();
    const QString opened =
        QStringLiteral("この日記は別のコンピュータ（%1）で開かれています").arg(host);
    const QString risk = QStringLiteral(
                             "%1 の Tavo がまだ動いていると、二台のコンピュータの変更が互いに"
                             "上書きし合い、書いたものが失われます。%1 の Tavo を終了してから"
                             "引き継いでください。\n\n引き継ぎますか？")
                             .arg(host);
    for (;;) {
        switch (MessageBox::warningReadOnlyTakeOverEnd(nullptr, opened)) {
            case MessageBox::Button::ReadOnly:
                return DiaryAccess::ReadOnly;
            case MessageBox::Button::TakeOver: {
                if (!MessageBox::warningOkCancel(nullptr, risk))
                    continue;  // back to the choice
                std::string error;
                if (instance.takeOver(&error))
                    return DiaryAccess::Write;
                MessageBox::error(nullptr, QString::fromStdString(error));
                return DiaryAccess::Stop;
            }
            default:
                return DiaryAccess::Stop;
        }
    }
}

}  // namespace

DiaryAccess ClaimDiaryOrHandOver(DiaryInstance& instance) {
    switch (instance.claim()) {
        case DiaryInstance::Claim::First:
            return DiaryAccess::Write;
        case DiaryInstance::Claim::Handed:
            return DiaryAccess::Stop;
        case DiaryInstance::Claim::Busy:
            MessageBox::warningOk(nullptr, QStringLiteral("この日記は別のTavoで開かれています"));
            return DiaryAccess::Stop;
        case DiaryInstance::Claim::OtherComputer:
            return ChooseForOtherComputer(instance);
    }
    return DiaryAccess::Stop;
}
