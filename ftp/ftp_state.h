// Where an FTP session stands: one value for the control connection and the operation that
// runs on it. The client changes it in one place only, which can log every change by name
// ("state: USER -> PASS").
#pragma once

#include <cstdint>

namespace tavo::ftp {

enum class FtpState : std::uint8_t {
    // No session.
    Disconnected,
    RetryWait,  // a failed attempt before login; the next one starts after the interval
    Resolving,
    Connecting,
    // Logging in: each state names the command whose reply it waits for.
    Welcome,
    AuthTls,       // AUTH TLS
    TlsHandshake,  // the control connection's TLS handshake
    ProxyHost,
    ProxyOpen,
    ProxyUser,
    ProxyPass,
    ProxySite,
    User,
    Pass,
    Acct,
    Pbsz,  // PBSZ 0
    Prot,  // PROT P
    Syst,
    RestProbe,  // REST 100
    RestReset,  // REST 0
    InitialCwd,
    LoginPwd,
    // Logged in.
    Idle,
    Noop,
    Cwd,
    CwdPwd,
    Mkd,
    Rnfr,
    Rnto,
    Dele,
    Type,
    Size,
    Port,
    Pasv,
    Rest,
    List,  // the transfer command is sent; no reply yet
    Stor,
    Retr,
    Transferring,     // its preliminary reply came; the final one decides
    TransferReplied,  // the final reply came; the data connection has still to end
    Completing,       // the operation is over; its event is on its way
    Quitting,
};

const char* FtpStateName(FtpState state);

// The session holds an open control connection.
bool IsConnectedState(FtpState state);
// Logged in: the login dialogue completed and the connection is still open.
bool IsLoggedInState(FtpState state);
// LIST, STOR or RETR is sent and its transfer has not ended.
bool IsTransferState(FtpState state);

}  // namespace tavo::ftp
