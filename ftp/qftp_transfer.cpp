// Transfers: the representation type, the data connection (EPSV, PASV, PORT or EPRT),
// LIST, STOR and RETR. A transfer is complete when its final reply has come and its data
// connection has ended, in either order.
#include <QFileInfo>

#include "common/ui_text.h"
#include "ftp/ftp_protocol.h"
#include "ftp/listing_parser.h"
#include "ftp/qftp.h"
#include "ftp/qftp_wire.h"

namespace tavo::ftp {

namespace {

constexpr qint64 kHighWater = 256 * 1024;

qint64 SizeFromReply(const std::string& reply, qint64 otherwise) {
    if (ClassOf(reply) != '2')
        return otherwise;
    bool ok = false;
    const qint64 size =
        reply.size() > 4 ? QString::fromStdString(reply.substr(4)).trimmed().toLongLong(&ok) : 0;
    return ok ? size : 0;
}

// A listed name that could not name an entry of this folder, or would break the cache's
// line format.
bool UsableName(const std::string& name) {
    return name != "." && name != ".." &&
           name.find_first_of(std::string("/\r\n\0", 4)) == std::string::npos;
}

// A refused PORT, EPRT, EPSV or PASV; a 421 ends the whole session instead.
FtpError DataCommandError(const std::string& reply) {
    return reply.rfind("421", 0) == 0 ? ftpProtocolError : ftpDataConnectionFailed;
}

}  // namespace

// ---------------------------------------------------------------- starting a transfer

void TQFtp::Refresh() {
    if (Connected() && state_ != FtpState::Idle) {
        Info(ftpInfoBusy, "The component is busy doing something");
        return;
    }
    if (cache_) {
        TQFtpFileInfoList dirs, files;
        if (listingCache_.Read(CacheKey(), cacheExpire_, today_, dirs, files)) {
            listingFromCache_ = true;
            directories_ = std::move(dirs);
            files_ = std::move(files);
            if (state_ == FtpState::Idle) {
                StartOperation(Operation::Listing);
                Complete();
            } else {
                // Not logged in: the cached lists still answer.
                PostSessionEvents({}, [this](TQFtp*) {
                    if (OnListingDone)
                        OnListingDone(this);
                });
            }
            return WaitIfSynchronous();
        }
    }
    if (!ReadyCheck())
        return;
    StartOperation(Operation::Listing);
    listingFromCache_ = false;
    newFiles_.Clear();
    newDirectories_.Clear();
    SetState(FtpState::Type);
    if (!RefuseArgument(fileMask_))
        RequestType('A');
    WaitIfSynchronous();
}

// What a store and a retrieve share before the local file is opened; false when the
// operation already ended (its event follows).
bool TQFtp::BeginFileTransfer(Operation op, const QString& remoteName, const QString& localName) {
    StartOperation(op);
    SetState(FtpState::Type);
    remoteName_ = remoteName;
    restartAt_ = 0;
    if (remoteName.isEmpty()) {
        Fail(ftpFileNotFound, QString());
        return false;
    }
    if (RefuseArgument(remoteName))
        return false;
    CloseFile();
    file_.setFileName(localName);
    return true;
}

void TQFtp::UploadFile(const QString& localPath, const QString& remoteName) {
    if (!ReadyCheck())
        return;
    if (BeginFileTransfer(Operation::Upload, remoteName, localPath)) {
        if (localPath.isEmpty() || !file_.open(QIODevice::ReadOnly))
            Fail(ftpFileOpen, QString());
        else
            RequestType(transferMode_ == AsciiTransfer ? 'A' : 'I');
    }
    WaitIfSynchronous();
}

void TQFtp::DownloadFile(const QString& remoteName, const QString& localPath) {
    if (!ReadyCheck())
        return;
    const QString local = localPath.isEmpty() ? Ask(niLocalFile, localPath) : localPath;
    if (BeginFileTransfer(Operation::Download, remoteName, local)) {
        downloadExists_ = !local.isEmpty() && QFileInfo::exists(local);
        const auto mode =
            downloadExists_ ? QIODevice::ReadWrite : (QIODevice::WriteOnly | QIODevice::Truncate);
        if (local.isEmpty() || !file_.open(mode))
            Fail(ftpFileOpen, QString());
        else
            RequestType(transferMode_ == AsciiTransfer ? 'A' : 'I');
    }
    WaitIfSynchronous();
}

// ---------------------------------------------------------------- type and size

void TQFtp::RequestType(char type) {
    if (type == lastType_)
        return AfterType();
    lastType_ = type;
    Send(QString("TYPE ") + type, FtpState::Type);
}

void TQFtp::OnTypeReply(const std::string& reply) {
    // Uploads never looked at the TYPE reply; listings and downloads need it.
    if (ClassOf(reply) != '2' && op_ != Operation::Upload)
        return Fail(ftpProtocolError, QString());
    AfterType();
}

void TQFtp::AfterType() {
    switch (op_) {
        case Operation::Upload:
            // The remote size only matters to a caller that may choose to resume.
            if (ResumeWanted() && restOk_ && sizeOk_) {
                Send("SIZE " + remoteName_, FtpState::Size);
                return;
            }
            return OpenDataConnection();
        case Operation::Download: {
            if (!downloadExists_)
                return OpenDataConnection();
            const QString answer = Ask(niResumeOrOverwrite, QString());
            if (answer == "Overwrite" || answer.isEmpty())
                return OpenDataConnection();
            if (answer != "Resume") {
                // Ends without an event.
                op_ = Operation::None;
                return Complete();
            }
            if (!restOk_) {
                Info(ftpInfoResumeNotSupported, "This site cannot resume broken downloads/uploads");
                return Complete();
            }
            if (!sizeOk_)
                return DecideDownload(file_.size());
            Send("SIZE " + remoteName_, FtpState::Size);
            return;
        }
        default:
            return OpenDataConnection();
    }
}

void TQFtp::OnSizeReply(const std::string& reply) {
    if (reply.rfind("50", 0) == 0)
        sizeOk_ = false;
    if (op_ == Operation::Download)
        return DecideDownload(SizeFromReply(reply, file_.size()));
    remoteSize_ = SizeFromReply(reply, 0);
    if (remoteSize_ > 0) {
        const QString answer = Ask(niResumeOrOverwrite, QString());
        if (answer == "Resume") {
            restartAt_ = remoteSize_;
            file_.seek(restartAt_);
        } else if (answer != "Overwrite" && !answer.isEmpty()) {
            // Ends without an event.
            op_ = Operation::None;
            return Complete();
        }
    }
    OpenDataConnection();
}

void TQFtp::DecideDownload(qint64 remoteSize) {
    remoteSize_ = remoteSize;
    const qint64 localSize = file_.size();
    if (remoteSize == localSize) {
        Info(ftpInfoNothingToDo, "I am afraid I have nothing to do");
        return Complete();
    }
    if (remoteSize > localSize) {
        restartAt_ = localSize;
        file_.seek(localSize);
    } else {
        Info(ftpInfoResumeNotSupported,
             "I don't know how to resume this file, I will overwrite it");
        file_.resize(0);
        file_.seek(0);
    }
    OpenDataConnection();
}

// ---------------------------------------------------------------- the data connection

void TQFtp::OpenDataConnection() {
    firstPreliminary_ = false;
    if (op_ == Operation::Download && restartAt_ == 0) {
        file_.resize(0);
        file_.seek(0);
    }
    refusedPeer_.clear();
    if (passive_) {
        // EPSV names only a port and so also works over IPv6 and where a router rewrites
        // nothing; PASV serves the servers that do not know it.
        const bool v6 = TQSocket::PeerAddress().protocol() == QAbstractSocket::IPv6Protocol;
        extendedPassive_ = v6 || !epsvRefused_;
        Send(extendedPassive_ ? "EPSV" : "PASV", FtpState::Pasv);
        return;
    }
    const QHostAddress local = TQSocket::LocalAddress();
    listener_.SetAddress(local);
    listener_.SetPort(0);
    if (!listener_.Listen())
        return FailFatally(ftpDataError, QString());
    link_ = DataLink::Listening;
    const QString argument =
        local.protocol() == QAbstractSocket::IPv4Protocol
            ? "PORT " +
                  QString::fromStdString(PortArgument(local.toIPv4Address(), listener_.LocalPort()))
            : QString("EPRT |2|%1|%2|").arg(local.toString()).arg(listener_.LocalPort());
    Send(argument, FtpState::Port);
}

void TQFtp::OnPortReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return Fail(DataCommandError(reply), FromCp932(reply));
    SendTransferCommand();
}

void TQFtp::OnPasvReply(const std::string& reply) {
    if (ClassOf(reply) != '2') {
        const bool v6 = TQSocket::PeerAddress().protocol() == QAbstractSocket::IPv6Protocol;
        if (extendedPassive_ && ClassOf(reply) == '5' && !v6) {
            epsvRefused_ = true;
            extendedPassive_ = false;
            Send("PASV", FtpState::Pasv);
            return;
        }
        return Fail(DataCommandError(reply), FromCp932(reply));
    }
    std::uint16_t port = 0;
    if (reply.rfind("229", 0) == 0) {
        port = ParseEpsvReply(reply).value_or(0);
    } else if (const auto pasv = ParsePasvReply(reply)) {
        port = pasv->port;
    }
    if (port == 0)
        return Fail(ftpProtocolError, "Unreadable passive reply " + FromCp932(QuotedLine(reply)));
    // Only the port is taken: the data connection goes to the control connection's peer,
    // never to a third host named in the reply.
    data_.SetAddress(TQSocket::PeerAddress());
    data_.SetPort(port);
    link_ = DataLink::Connecting;
    if (!data_.Connect())
        return FailFatally(ftpDataConnectionFailed,
                           QString("Could not connect to the server's data port %1").arg(port));
    SendTransferCommand();
}

void TQFtp::SendTransferCommand() {
    if (restartAt_ > 0) {
        Send("REST " + QString::number(restartAt_), FtpState::Rest);
        return;
    }
    rawListing_.clear();
    listingTail_.clear();
    listingBytes_ = 0;
    switch (op_) {
        case Operation::Listing:
            newFiles_.Clear();
            newDirectories_.Clear();
            if (Send(fileMask_.isEmpty() ? QString("LIST") : "LIST " + fileMask_, FtpState::List))
                Info(ftpInfoListingStarted, QString());
            return;
        case Operation::Upload:
            Send("STOR " + remoteName_, FtpState::Stor);
            return;
        case Operation::Download:
            Send("RETR " + remoteName_, FtpState::Retr);
            return;
        default:
            return Fail(ftpInternalError, QString());
    }
}

void TQFtp::OnRestReply(const std::string& reply) {
    if (ClassOf(reply) != '3') {
        CloseData();
        return Fail(ftpResumeFailed, op_ == Operation::Upload
                                         ? "Failed to resume uploading file"
                                         : "Failed to resume downloading file");
    }
    restartAt_ = 0;  // the marker is set; the command follows
    SendTransferCommand();
}

void TQFtp::OnTransferReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '1':
            if (state_ == FtpState::Transferring || state_ == FtpState::TransferReplied)
                return;  // only the first preliminary reply counts
            SetState(FtpState::Transferring);
            if (op_ == Operation::Download) {
                const auto open = reply.rfind('(');
                if (open != std::string::npos) {
                    const std::string rest = reply.substr(open + 1);
                    Info(ftpInfoTransferSize,
                         QString::fromStdString(rest.substr(0, rest.find(' '))));
                }
            }
            if (op_ == Operation::Upload && link_ == DataLink::Open)
                SendFileData();
            return;
        case '2':
            if (link_ == DataLink::Ended)
                return Complete();
            SetState(FtpState::TransferReplied);
            if (link_ == DataLink::Listening && !refusedPeer_.isNull()) {
                // The server is done, and another host came instead: a connection the
                // server made is waiting by now. (Without such a host its connection may
                // still be on its way after a reply sent early.)
                const quint64 epoch = epoch_;
                listener_.CollectConnections();
                if (epoch != epoch_)
                    return;
                if (link_ == DataLink::Listening) {
                    CloseData();
                    return Fail(ftpDataConnectionFailed,
                                DataFailureText("The server replied \"" + FromCp932(reply) +
                                                "\" without a data connection"));
                }
            }
            if (op_ == Operation::Upload && link_ == DataLink::Open)
                SendFileData();
            return;
        default:
            CloseData();
            if (reply.rfind("425", 0) == 0)
                return Fail(ftpDataConnectionFailed, DataFailureText(FromCp932(reply)));
            Fail(ftpPermissionDenied, kAccessDenied);
    }
}

// What kept the data connection from being made, with the host that was turned away.
QString TQFtp::DataFailureText(const QString& cause) const {
    if (refusedPeer_.isNull())
        return cause;
    return cause + QString(" (a data connection from %1, not from the server %2, was refused)")
                       .arg(refusedPeer_.toString(), TQSocket::PeerAddress().toString());
}

void TQFtp::DataAccept() {
    if (link_ != DataLink::Listening)
        return;
    // Only the server may connect: anyone else who reached the port first is turned away.
    const QHostAddress server = TQSocket::PeerAddress();
    QHostAddress refused;
    AcceptResult result;
    while ((result = data_.AcceptFrom(listener_, server, &refused)) == AcceptResult::Refused) {
        refusedPeer_ = refused;
        const quint64 epoch = epoch_;
        Info(ftpInfoDebug, QString("Refused a data connection from %1: the server is %2\r\n")
                               .arg(refused.toString(), server.toString()));
        if (epoch != epoch_ || link_ != DataLink::Listening)
            return;
    }
    if (result != AcceptResult::Accepted)
        return;
    listener_.Close();
    if (security_ == FtpSecurity::Tls)
        return SecureDataConnection();
    DataReady();
}

void TQFtp::DataConnected() {
    if (link_ != DataLink::Connecting)
        return;
    if (data_.LastError() != 0)
        return FailFatally(ftpDataConnectionFailed,
                           "Could not connect to the server's data port: " + data_.ErrorText());
    if (security_ == FtpSecurity::Tls)
        return SecureDataConnection();
    DataReady();
}

void TQFtp::DataReady() {
    link_ = DataLink::Open;
    bytesTransferred_ = 0;
    transferClock_.start();
    elapsedMs_ = 0;
    listingTail_.clear();
    ArmReplyTimer();
    if (op_ == Operation::Upload) {
        localSize_ = file_.size();
        const quint64 epoch = epoch_;
        Info(ftpInfoTransferSize, QString::number(localSize_));
        if (epoch == epoch_ &&
            (state_ == FtpState::Transferring || state_ == FtpState::TransferReplied))
            SendFileData();
    } else if (data_.BytesAvailable() > 0) {
        DataRead();
    }
}

void TQFtp::DataRead() {
    if (link_ != DataLink::Open || (op_ != Operation::Listing && op_ != Operation::Download))
        return;
    char buffer[4096];
    const quint64 epoch = epoch_;
    while (epoch == epoch_ && link_ == DataLink::Open) {
        const qint64 n = data_.Receive(buffer, sizeof buffer);
        if (n <= 0)
            break;
        bytesTransferred_ += n;
        if (replyTimer_.isActive())
            ArmReplyTimer();  // data moving earns more time
        if (op_ == Operation::Download) {
            WriteReceived(buffer, n);
            continue;
        }
        listingBytes_ += static_cast<std::uint64_t>(n);
        if (listingBytes_ > limits_.listingBytes)
            return Fail(ftpProtocolError,
                        QString("A listing longer than %1 bytes").arg(limits_.listingBytes));
        listingTail_.append(buffer, static_cast<std::size_t>(n));
        ListingLines();
    }
    if (epoch == epoch_ && transferClock_.isValid())
        elapsedMs_ = transferClock_.elapsed();
}

void TQFtp::WriteReceived(const char* bytes, qint64 n) {
    if (file_.write(bytes, n) != n) {
        CloseData();
        return Fail(ftpFileWrite, QString());
    }
    Info(ftpInfoProgress, QString());
}

void TQFtp::ListingLines() {
    const TQFtpServerType type = serverType_ == ftpstAutoDetect ? ftpstDefault : serverType_;
    std::size_t start = 0;
    const quint64 epoch = epoch_;
    while (epoch == epoch_) {
        const auto end = listingTail_.find("\r\n", start);
        if (end == std::string::npos)
            break;
        std::string line = listingTail_.substr(start, end - start);
        start = end + 2;
        if (line.size() > limits_.lineBytes)
            return Fail(ftpProtocolError,
                        QString("A listing line longer than %1 bytes").arg(limits_.lineBytes));
        Info(ftpInfoProgress, FromCp932(line));
        rawListing_.push_back(line);
        const auto entry = ParseListingLine(type, line, currentYear_);
        if (!entry || !UsableName(entry->info.Name))
            continue;
        if (!entry->directory) {
            newFiles_.Add(entry->info);
            Info(ftpInfoEntryFound, "File");
        } else {
            newDirectories_.Add(entry->info);
            Info(ftpInfoEntryFound, "Folder");
        }
    }
    if (epoch != epoch_)
        return;
    listingTail_.erase(0, start);
    if (listingTail_.size() > limits_.lineBytes + 1)  // + the CR of a line end
        Fail(ftpProtocolError,
             QString("A listing line longer than %1 bytes").arg(limits_.lineBytes));
}

void TQFtp::DataClosed(int wsaError) {
    if (link_ != DataLink::Open && link_ != DataLink::Connecting && link_ != DataLink::Securing)
        return;
    if (link_ == DataLink::Securing)
        return FailFatally(ftpTlsError,
                           "The TLS handshake of the data connection failed: " + data_.ErrorText());
    if (link_ == DataLink::Connecting)
        return FailFatally(ftpDataConnectionFailed,
                           "Could not connect to the server's data port: " + data_.ErrorText());
    if (wsaError != 0)
        return FailFatally(ftpDataError, QString());
    if (op_ == Operation::Upload) {
        if (!file_.isOpen() || !file_.atEnd()) {
            // The server stopped taking the file before its end: whatever it replies, the
            // copy on the server is not whole.
            const QString text =
                QString("The server closed the data connection after %1 of %2 bytes")
                    .arg(bytesTransferred_)
                    .arg(localSize_);
            return FailFatally(ftpDataError, text);
        }
        return DataEnded();
    }
    const quint64 epoch = epoch_;
    DataRead();  // what came before the end; a last line without its line end is no entry
    if (epoch != epoch_)
        return;
    if (security_ == FtpSecurity::Tls && !data_.TlsClosedByPeer())
        // Anyone on the way can end a connection; only the server can end its TLS.
        return FailFatally(ftpDataError,
                           "The server ended the data connection without closing TLS: what "
                           "came may be cut short");
    if (op_ == Operation::Listing)
        Info(ftpInfoListingReceived, QString());
    if (epoch == epoch_)
        DataEnded();
}

// The data connection has done its part.
void TQFtp::DataEnded() {
    CloseData();
    CloseFile();
    link_ = DataLink::Ended;
    const quint64 epoch = epoch_;
    Info(ftpInfoTransferDone, QString());
    if (epoch == epoch_ && state_ == FtpState::TransferReplied)
        Complete();
}

void TQFtp::CloseData() {
    link_ = DataLink::None;
    data_.Close();
    listener_.Close();
}

void TQFtp::CloseFile() {
    if (file_.isOpen())
        file_.close();
}

// Fills the data connection from the file until it would hold too much; the next
// bytes-written notice brings the rest.
void TQFtp::SendFileData() {
    // The server takes the file once it has answered STOR.
    if (link_ != DataLink::Open || !file_.isOpen() ||
        (state_ != FtpState::Transferring && state_ != FtpState::TransferReplied))
        return;
    std::vector<char> buffer(static_cast<std::size_t>(chunk_));
    qint64 queued = 0;
    while (data_.BytesToWrite() < kHighWater && !file_.atEnd()) {
        const qint64 n = file_.read(buffer.data(), chunk_);
        if (n < 0) {
            CloseData();
            return Fail(ftpFileRead, QString());
        }
        if (n == 0)
            break;
        const qint64 sent = data_.Send(buffer.data(), n);
        if (sent < n) {
            if (MapWinsockError(data_.LastError()))
                return FailFatally(ftpDataError, QString());
            file_.seek(file_.pos() - (n - sent));
            bytesTransferred_ += sent;
            queued += sent;
            break;
        }
        bytesTransferred_ += sent;
        queued += sent;
    }
    if (queued > 0) {
        // The file's last bytes go out now: waiting for the next pass of the event loop
        // would put a repaint of the dialog before them. (Before the end, the bytes-written
        // notices of what is still queued bring the rest.)
        if (file_.atEnd()) {
            data_.Flush();
            if (link_ != DataLink::Open)
                return;
        }
        if (replyTimer_.isActive())
            ArmReplyTimer();
        elapsedMs_ = transferClock_.elapsed();
        const quint64 epoch = epoch_;
        Info(ftpInfoProgress, QString());
        if (epoch != epoch_)
            return;
    }
    if (file_.atEnd() && data_.BytesToWrite() == 0) {
        elapsedMs_ = transferClock_.elapsed();
        DataEnded();
    }
}

}  // namespace tavo::ftp
