// The control connection: commands out, replies in, each reply to the handler of the state
// that waits for it; the reply time-out; the end of the connection and the retries.
#include "common/ui_text.h"
#include "ftp/ftp_protocol.h"
#include "ftp/qftp.h"
#include "ftp/qftp_wire.h"

namespace tavo::ftp {

namespace {

constexpr const char* kLineBreakRefused = "Command refused: its argument holds a line break";
constexpr const char* kCharacterRefused =
    "Command refused: its argument holds a character that Shift_JIS cannot hold";

}  // namespace

std::optional<std::string> ToWire(const QString& text, const char** refusal) {
    Cp932Text wire = ToCp932(text);
    const char* reason = wire.usedCharacterReferences ? kCharacterRefused
                         : HoldsLineBreak(wire.bytes) ? kLineBreakRefused
                                                      : nullptr;
    if (refusal)
        *refusal = reason;
    if (reason)
        return std::nullopt;
    return std::move(wire.bytes);
}

// Sends one command; its reply goes to the handler of `awaiting`. False when it could not
// be sent (the failure is reported).
bool TQFtp::Send(const QString& command, FtpState awaiting) {
    const char* refusal = nullptr;
    std::optional<std::string> wire = ToWire(command, &refusal);
    if (!wire) {
        Fail(ftpProtocolError, refusal);
        return false;
    }
    if (!TQSocket::Connected())
        return false;
    std::string bytes = std::move(*wire) + "\r\n";
    SetState(awaiting);
    Info(ftpInfoCommandSent, FromCp932(MaskedCommand(bytes)));
    if (state_ != awaiting)
        return false;
    if (TQSocket::Send(bytes.data(), static_cast<qint64>(bytes.size())) <= 0) {
        FailFatallyMapped(TQSocket::LastError());
        return false;
    }
    TQSocket::Flush();
    if (state_ != awaiting)
        return false;
    firstPreliminary_ = false;
    ArmReplyTimer();
    return true;
}

// Refuses (error, then completion) an argument that cannot go on the wire as it is.
bool TQFtp::RefuseArgument(const QString& argument) {
    const char* refusal = nullptr;
    if (ToWire(argument, &refusal))
        return false;
    Fail(ftpProtocolError, refusal);
    return true;
}

void TQFtp::ArmReplyTimer() {
    if (replyTimeOutMs_ > 0)
        replyTimer_.start(replyTimeOutMs_);
}

void TQFtp::ReplyTimedOut() {
    if (!Connected())
        return;
    if (link_ == DataLink::Listening || link_ == DataLink::Connecting)
        return FailFatally(
            ftpDataConnectionFailed,
            DataFailureText(
                QString("No data connection within %1 seconds").arg(replyTimeOutMs_ / 1000.0)));
    FailFatally(
        ftpTimeOut,
        QString("No reply from the server within %1 seconds").arg(replyTimeOutMs_ / 1000.0));
}

void TQFtp::ControlRead() {
    // A handler's nested event loop may signal more data: the loop below reads it.
    if (readingControl_)
        return;
    readingControl_ = true;
    const quint64 session = session_;
    char buffer[4096];
    while (session == session_ && Connected()) {
        const qint64 n = TQSocket::Receive(buffer, sizeof buffer);
        if (n <= 0)
            break;
        auto replies = reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
        const std::string text = reader_.TakeCompleteText();
        if (!text.empty())
            Info(ftpInfoReplyReceived, FromCp932(text));
        for (auto& reply : replies) {
            if (session != session_ || !Connected())
                break;
            if (reply.closesMultiLine)
                Info(ftpInfoMultiLineReply, QString());
            lastReply_ = reply.line;
            HandleReply(reply.line);
        }
        if (!reader_.Failure().empty() && session == session_ && Connected()) {
            FailFatally(ftpProtocolError, QString::fromStdString(reader_.Failure()));
            break;
        }
    }
    readingControl_ = false;
}

void TQFtp::HandleReply(const std::string& reply) {
    const char replyClass = ClassOf(reply);
    // The time-out runs from the command; only its first preliminary reply earns more time.
    if (replyClass == '1') {
        if (!firstPreliminary_ && replyTimer_.isActive()) {
            firstPreliminary_ = true;
            ArmReplyTimer();
        }
    } else if (!IsTransferState(state_)) {
        // A transfer's data connection still has to end within the time-out.
        replyTimer_.stop();
    }
    switch (state_) {
        case FtpState::Welcome:
            return OnWelcome(reply);
        case FtpState::AuthTls:
            return OnAuthReply(reply);
        case FtpState::TlsHandshake:
            // Clear text where the handshake belongs.
            return FailWithoutRetry(ftpTlsError, "The server sent a reply instead of TLS");
        case FtpState::Pbsz:
            return OnPbszReply(reply);
        case FtpState::Prot:
            return OnProtReply(reply);
        case FtpState::ProxyHost:
        case FtpState::ProxyOpen:
        case FtpState::ProxyUser:
        case FtpState::ProxyPass:
        case FtpState::ProxySite:
            return OnProxyReply(reply);
        case FtpState::User:
            return OnUserReply(reply);
        case FtpState::Pass:
            return OnPassReply(reply);
        case FtpState::Acct:
            return OnAcctReply(reply);
        case FtpState::Syst:
            return OnSystReply(reply);
        case FtpState::RestProbe:
            return OnRestProbeReply(reply);
        case FtpState::RestReset:
            return InitialDirectoryStep();
        case FtpState::InitialCwd:
            return OnInitialCwdReply(reply);
        case FtpState::LoginPwd:
            return OnLoginPwdReply(reply);
        case FtpState::Noop:
            return OnNoopReply(reply);
        case FtpState::Cwd:
            return OnCwdReply(reply);
        case FtpState::CwdPwd:
            return OnCwdPwdReply(reply);
        case FtpState::Rnfr:
            return OnRnfrReply(reply);
        case FtpState::Mkd:
        case FtpState::Rnto:
        case FtpState::Dele:
            return OnLastReply(reply);
        case FtpState::Type:
            return OnTypeReply(reply);
        case FtpState::Size:
            return OnSizeReply(reply);
        case FtpState::Port:
            return OnPortReply(reply);
        case FtpState::Pasv:
            return OnPasvReply(reply);
        case FtpState::Rest:
            return OnRestReply(reply);
        case FtpState::List:
        case FtpState::Stor:
        case FtpState::Retr:
        case FtpState::Transferring:
        case FtpState::TransferReplied:
            return OnTransferReply(reply);
        case FtpState::Quitting:
            return OnQuitReply(reply);
        case FtpState::Disconnected:
        case FtpState::RetryWait:
        case FtpState::Resolving:
        case FtpState::Connecting:
        case FtpState::Idle:
        case FtpState::Completing:
            // Nobody asked: the reply is only logged.
            return;
    }
}

void TQFtp::ControlClosed(int wsaError) {
    if (!Connected())
        return;
    replyTimer_.stop();
    noopTimer_.stop();
    const bool loggedIn = LoggedIn();
    // Running an operation or logging in, the server may not just go away.
    const bool midway = state_ != FtpState::Idle && state_ != FtpState::Completing &&
                        state_ != FtpState::Noop && state_ != FtpState::Quitting;
    const quint64 epoch = epoch_;
    if (TlsHandshakeClosed()) {
        // Reported; no retry.
    } else if (wsaError != 0) {
        const auto mapped = MapWinsockError(wsaError);
        if (mapped)
            RaiseError(mapped->code, QString::fromStdString(mapped->text));
    } else if (midway && !operationFailed_) {
        RaiseError(ftpPrematureDisconnect, "The server closed the connection");
    }
    if (epoch != epoch_)
        return;
    CloseData();
    CloseFile();
    if (!loggedIn) {
        if (retriesLeft_ < 0) {
            Info(ftpInfoRetryFinished, "Retry Finished");
        } else if (lastError_ != ftpNone) {
            Info(ftpInfoRetrying, "Retrying...");
            if (epoch != epoch_)
                return;
            SetState(FtpState::RetryWait);
            // The interval counts from the failure, not from when its message was closed.
            const qint64 waited = failureClock_.isValid() ? failureClock_.elapsed() : 0;
            retryTimer_.start(static_cast<int>(std::max<qint64>(0, retryMs_ - waited)));
            return;
        }
    }
    EndSession();
}

void TQFtp::NoopTick() {
    if (state_ != FtpState::Idle || !noopOk_)
        return;
    Send("NOOP", FtpState::Noop);
}

}  // namespace tavo::ftp
