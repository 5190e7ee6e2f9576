// TLS (RFC 4217): AUTH TLS and the control connection's handshake, PBSZ and PROT after the
// login, and the handshake of each data connection, which resumes the control connection's
// session (servers such as vsftpd refuse a data connection that does not).
#include <QCryptographicHash>
#include <QSslSocket>

#include "common/ui_text.h"
#include "ftp/qftp.h"
#include "ftp/qftp_wire.h"

namespace tavo::ftp {

QByteArray CertificateSha256(const QSslCertificate& certificate) {
    return certificate.isNull() ? QByteArray() : certificate.digest(QCryptographicHash::Sha256);
}

QString FingerprintText(const QByteArray& digest) {
    return QString::fromLatin1(digest.toHex(':').toUpper());
}

QString TQFtp::TlsProtocol() const {
    return Connected() && TQSocket::Encrypted() ? TQSocket::TlsProtocolName() : QString();
}

QSslConfiguration TQFtp::ControlTlsConfiguration() const {
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    // The session is kept so that the data connections can resume it.
    configuration.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
    if (!extraCaCertificates_.isEmpty())
        configuration.addCaCertificates(extraCaCertificates_);
    return configuration;
}

// The name the certificate must be for: the host the user typed (or the proxy's).
QString TQFtp::TlsPeerName() const {
    return proxyType_ != proxyNone ? proxyServer_.trimmed() : server_;
}

void TQFtp::OnAuthReply(const std::string& reply) {
    if (reply.rfind("234", 0) != 0)
        return FailWithoutRetry(ftpTlsNotOffered,
                                "The server refused TLS: " + FromCp932(QuotedLine(reply)));
    // Whatever came after the reply came in clear text and could have been put there by
    // anyone on the way: the handshake must come first.
    if (TQSocket::BytesAvailable() > 0 || !reader_.Tail().empty() || reader_.InMultiLine())
        return FailWithoutRetry(ftpTlsError, "The server sent more after accepting TLS");
    tlsRefusal_ = ftpNone;
    tlsRefusalText_.clear();
    serverCertificate_ = QSslCertificate();
    SetState(FtpState::TlsHandshake);
    ArmReplyTimer();
    TQSocket::StartTls(ControlTlsConfiguration(), TlsPeerName());
}

// Faults found in the server's certificate: accepted only for the certificate the user
// trusted; anything else ends the handshake and tells why.
bool TQFtp::ControlTlsErrors(const QList<QSslError>& errors) {
    if (state_ != FtpState::TlsHandshake)
        return false;
    serverCertificate_ = TQSocket::PeerCertificate();
    const QByteArray digest = CertificateSha256(serverCertificate_);
    if (!trustedCertificate_.isEmpty() && digest == trustedCertificate_)
        return true;
    QStringList reasons;
    for (const QSslError& error : errors)
        reasons << error.errorString();
    reasons.removeDuplicates();
    tlsRefusal_ = trustedCertificate_.isEmpty() ? ftpCertificateUntrusted : ftpCertificateChanged;
    tlsRefusalText_ = reasons.join("; ");
    return false;
}

void TQFtp::ControlEncrypted() {
    if (state_ != FtpState::TlsHandshake)
        return;
    replyTimer_.stop();
    serverCertificate_ = TQSocket::PeerCertificate();
    const QByteArray digest = CertificateSha256(serverCertificate_);
    if (!trustedCertificate_.isEmpty() && digest != trustedCertificate_)
        return FailWithoutRetry(ftpCertificateChanged,
                                "Not the certificate trusted for this server");
    const QString how = trustedCertificate_.isEmpty()
                            ? QString("certificate verified")
                            : "certificate trusted by the user, SHA-256 " + FingerprintText(digest);
    const quint64 epoch = epoch_;
    Info(ftpInfoDebug, TQSocket::TlsProtocolName() + ", " + how);
    if (epoch == epoch_)
        BeginLogin();
}

// The control connection closed during its handshake: the reason, and no retry (another
// attempt would meet the same certificate or the same server).
bool TQFtp::TlsHandshakeClosed() {
    // A failure the client found itself is reported already.
    if (state_ != FtpState::TlsHandshake || operationFailed_)
        return false;
    const FtpError code = tlsRefusal_ != ftpNone ? tlsRefusal_ : ftpTlsError;
    const QString text = tlsRefusal_ != ftpNone
                             ? tlsRefusalText_
                             : "The TLS handshake failed: " + TQSocket::ErrorText();
    tlsRefusal_ = ftpNone;
    retriesLeft_ = -1;
    RaiseError(code, text);
    return true;
}

void TQFtp::OnPbszReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return FailWithoutRetry(ftpTlsError,
                                "The server refused PBSZ: " + FromCp932(QuotedLine(reply)));
    Send("PROT P", FtpState::Prot);
}

void TQFtp::OnProtReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return FailWithoutRetry(ftpTlsError, "The server refused to encrypt data connections: " +
                                                 FromCp932(QuotedLine(reply)));
    AfterProtection();
}

// The data connection stands: its handshake resumes the control connection's session.
void TQFtp::SecureDataConnection() {
    link_ = DataLink::Securing;
    ArmReplyTimer();
    data_.StartTls(TQSocket::TlsConfiguration(), TlsPeerName());
}

// The data connection must show the certificate the control connection showed.
bool TQFtp::DataTlsErrors() {
    return link_ == DataLink::Securing &&
           CertificateSha256(data_.PeerCertificate()) == CertificateSha256(serverCertificate_);
}

void TQFtp::DataEncrypted() {
    if (link_ != DataLink::Securing)
        return;
    if (CertificateSha256(data_.PeerCertificate()) != CertificateSha256(serverCertificate_))
        return FailFatally(ftpTlsError,
                           "The data connection showed another certificate than the server");
    DataReady();
}

}  // namespace tavo::ftp
