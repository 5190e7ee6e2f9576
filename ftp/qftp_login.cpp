// Connecting and logging in: name resolution, the connection, the welcome, the proxies,
// USER / PASS / ACCT, SYST, the REST probe and the first directory.
#include "common/ui_text.h"
#include "ftp/ftp_protocol.h"
#include "ftp/qftp.h"
#include "ftp/qftp_wire.h"

namespace tavo::ftp {

void TQFtp::StartAttempt() {
    ++session_;
    currentDirectory_.clear();
    lastReply_.clear();
    lastError_ = ftpNone;
    operationFailed_ = false;
    reader_.Reset();
    reader_.SetLimits(limits_);
    sizeOk_ = true;
    noopOk_ = true;
    restOk_ = false;
    epsvRefused_ = false;
    firstPreliminary_ = false;
    --retriesLeft_;
    CloseData();
    CloseFile();
    TQSocket::Recreate();

    QString host = server_;
    std::uint16_t port = port_;
    if (proxyServer_.trimmed().isEmpty()) {
        proxyType_ = proxyNone;
    } else if (proxyType_ != proxyNone) {
        savedServer_ = server_;
        savedPort_ = port_;
        host = proxyServer_.trimmed();
        port = proxyPort_;
    }
    if (server_.trimmed().isEmpty()) {
        server_ = Ask(niServer, server_).trimmed();
        if (proxyType_ == proxyNone)
            host = server_;
        else
            savedServer_ = server_;
    }
    if (server_.isEmpty() || host.isEmpty()) {
        RaiseError(ftpNoServer, QString());
        return EndUnconnected();
    }
    if (port == 0)
        port = 21;
    if (proxyType_ == proxyNone)
        port_ = port;
    TQSocket::SetPort(port);
    // An address is used as it is; so is anything that starts with a digit, as it always was.
    if (TQSocket::SetAddressText(host) || (host[0] >= '0' && host[0] <= '9')) {
        ConnectControl();
    } else {
        SetState(FtpState::Resolving);
        Info(ftpInfoResolving, host);
        if (state_ == FtpState::Resolving)
            TQSocket::Resolve(host);
    }
}

void TQFtp::NameResolved() {
    if (state_ != FtpState::Resolving)
        return;
    if (TQSocket::LastError() != 0) {
        FailFatallyMapped(TQSocket::LastError());
        return;
    }
    Info(ftpInfoResolved, TQSocket::AddressText());
    if (state_ == FtpState::Resolving)
        ConnectControl();
}

void TQFtp::ConnectControl() {
    SetState(FtpState::Connecting);
    if (!TQSocket::Connect())
        FailFatallyMapped(TQSocket::LastError());
}

void TQFtp::ControlConnected() {
    if (state_ != FtpState::Connecting)
        return;
    if (TQSocket::LastError() != 0) {
        FailFatallyMapped(TQSocket::LastError());
        return;
    }
    SetState(FtpState::Welcome);
    Info(ftpInfoConnected, TQSocket::AddressText());
    ArmReplyTimer();
}

void TQFtp::ControlTimedOut() {
    if (state_ != FtpState::Resolving && state_ != FtpState::Connecting)
        return;
    FailFatally(ftpConnectTimeOut, "Connection timed out");
}

// A failure before the connection stood: reported once, no retries.
void TQFtp::EndUnconnected() {
    TQSocket::Recreate();
    SetState(FtpState::Disconnected);
    PostSessionEvents({}, {});
}

void TQFtp::OnWelcome(const std::string& reply) {
    op_ = Operation::Login;
    operationFailed_ = false;
    if (ClassOf(reply) != '2')
        return FailFatally(ftpServerDown, QString());
    if (proxyType_ != proxyNone) {
        server_ = savedServer_;
        port_ = savedPort_;
    } else if (serverType_ == ftpstAutoDetect &&
               reply.find("NetTerm FTP server") != std::string::npos) {
        serverType_ = ftpstNetTerm;
    }
    if (security_ == FtpSecurity::Tls) {
        Send("AUTH TLS", FtpState::AuthTls);
        return;
    }
    BeginLogin();
}

// After the welcome (and the TLS handshake): the proxy's steps or USER.
void TQFtp::BeginLogin() {
    if (username_.isEmpty())
        username_ = Ask(niUser, username_);
    const QString portText = QString::number(port_ == 0 ? 21 : port_);
    const bool otherPort = port_ != 21 && port_ != 0;
    switch (proxyType_) {
        case proxyNone:
            return SendUser(username_);
        case proxyHost:
            Send("HOST " + server_, FtpState::ProxyHost);
            return;
        case proxyHostUser:
            return SendUser(otherPort ? server_ + ":" + portText + "!" + username_
                                      : server_ + "!" + username_);
        case proxyOpen:
            Send("OPEN " + server_, FtpState::ProxyOpen);
            return;
        case proxySite:
            Send("USER " + proxyUsername_, FtpState::ProxyUser);
            return;
        case proxyUserSite:
            return SendUser(otherPort ? username_ + "@" + server_ + ":" + portText
                                      : username_ + "@" + server_);
    }
}

void TQFtp::SendUser(const QString& user) {
    Send("USER " + user, FtpState::User);
}

// The proxies' own login steps, before the real USER.
void TQFtp::OnProxyReply(const std::string& reply) {
    const char c = ClassOf(reply);
    switch (state_) {
        case FtpState::ProxyHost:
            return c == '3' ? SendUser(username_) : FailFatally(ftpServerDown, QString());
        case FtpState::ProxyOpen:
            return c == '2' ? SendUser(username_) : FailFatally(ftpServerDown, QString());
        case FtpState::ProxyUser:
            if (c == '2') {
                Send("SITE " + server_, FtpState::ProxySite);
            } else if (c == '3') {
                if (proxyPassword_.isEmpty())
                    proxyPassword_ = Ask(niPassword, proxyPassword_);
                Send("PASS " + proxyPassword_, FtpState::ProxyPass);
            } else {
                FailFatally(ftpAccessDenied, QString());
            }
            return;
        case FtpState::ProxyPass:
            if (c == '2')
                Send("SITE " + server_, FtpState::ProxySite);
            else
                FailFatally(ftpAccessDenied, QString());
            return;
        case FtpState::ProxySite:
            return c == '2' ? SendUser(username_) : FailFatally(ftpProtocolError, QString());
        default:
            return;
    }
}

void TQFtp::OnUserReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '2':
            return AfterLogin();
        case '3':
            if (password_.isEmpty())
                password_ = Ask(niPassword, password_);
            Send("PASS " + password_, FtpState::Pass);
            return;
        default:
            FailFatally(ftpAccessDenied, QString());
    }
}

void TQFtp::OnPassReply(const std::string& reply) {
    switch (ClassOf(reply)) {
        case '2':
            return AfterLogin();
        case '3':
            if (account_.isEmpty())
                account_ = Ask(niAccount, account_);
            Send("ACCT " + account_, FtpState::Acct);
            return;
        default:
            FailFatally(ftpAccessDenied, QString());
    }
}

void TQFtp::OnAcctReply(const std::string& reply) {
    if (ClassOf(reply) == '2')
        AfterLogin();
    else
        FailFatally(ftpAccessDenied, QString());
}

void TQFtp::AfterLogin() {
    if (security_ == FtpSecurity::Tls) {
        Send("PBSZ 0", FtpState::Pbsz);
        return;
    }
    AfterProtection();
}

void TQFtp::AfterProtection() {
    if (serverType_ == ftpstAutoDetect)
        Send("SYST", FtpState::Syst);
    else
        ProbeRest();
}

void TQFtp::OnSystReply(const std::string& reply) {
    if (ClassOf(reply) == '5')
        serverType_ = ftpstDefault;
    else if (serverType_ == ftpstAutoDetect)
        serverType_ = DetectServerType(reply);
    ProbeRest();
}

// Whether the server can resume matters only to a caller that may ask for a resume.
void TQFtp::ProbeRest() {
    if (ResumeWanted())
        Send("REST 100", FtpState::RestProbe);
    else
        InitialDirectoryStep();
}

void TQFtp::OnRestProbeReply(const std::string& reply) {
    if (ClassOf(reply) == '3') {
        restOk_ = true;
        Info(ftpInfoResumeSupported, "This site can resume broken downloads/uploads");
        // The marker of REST 100 would apply to the next transfer: take it back.
        Send("REST 0", FtpState::RestReset);
    } else {
        restOk_ = false;
        Info(ftpInfoResumeNotSupported, "This site cannot resume broken downloads/uploads");
        InitialDirectoryStep();
    }
}

void TQFtp::InitialDirectoryStep() {
    if (initialDirectory_.isEmpty())
        Send("PWD", FtpState::LoginPwd);
    else
        Send("CWD " + initialDirectory_, FtpState::InitialCwd);
}

void TQFtp::OnInitialCwdReply(const std::string& reply) {
    if (ClassOf(reply) == '2') {
        const QString path = PathFromReply(reply, false);
        if (!path.isEmpty()) {
            currentDirectory_ = path;
            Info(ftpInfoLoggedIn, "Logged in");
            return Complete();
        }
    }
    Send("PWD", FtpState::LoginPwd);
}

void TQFtp::OnLoginPwdReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return FailFatally(ftpProtocolError, QString());
    currentDirectory_ = PathFromReply(reply, true);
    Info(ftpInfoLoggedIn, "Logged in");
    Complete();
}

QString TQFtp::PathFromReply(const std::string& reply, bool convert) const {
    std::string path = QuotedText(reply);
    if (convert && (serverType_ == ftpstNetTerm || serverType_ == ftpstServU))
        path = ConvertDrivePath(path);
    return FromCp932(path);
}

}  // namespace tavo::ftp
