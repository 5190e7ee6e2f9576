#include "ftp/ftp_state.h"

namespace tavo::ftp {

const char* FtpStateName(FtpState state) {
    switch (state) {
        case FtpState::Disconnected:
            return "DISCONNECTED";
        case FtpState::RetryWait:
            return "RETRY WAIT";
        case FtpState::Resolving:
            return "RESOLVING";
        case FtpState::Connecting:
            return "CONNECTING";
        case FtpState::Welcome:
            return "WELCOME";
        case FtpState::AuthTls:
            return "AUTH TLS";
        case FtpState::TlsHandshake:
            return "TLS HANDSHAKE";
        case FtpState::ProxyHost:
            return "HOST";
        case FtpState::ProxyOpen:
            return "OPEN";
        case FtpState::ProxyUser:
            return "PROXY USER";
        case FtpState::ProxyPass:
            return "PROXY PASS";
        case FtpState::ProxySite:
            return "SITE";
        case FtpState::User:
            return "USER";
        case FtpState::Pass:
            return "PASS";
        case FtpState::Acct:
            return "ACCT";
        case FtpState::Pbsz:
            return "PBSZ";
        case FtpState::Prot:
            return "PROT";
        case FtpState::Syst:
            return "SYST";
        case FtpState::RestProbe:
            return "REST 100";
        case FtpState::RestReset:
            return "REST 0";
        case FtpState::InitialCwd:
            return "INITIAL CWD";
        case FtpState::LoginPwd:
            return "PWD";
        case FtpState::Idle:
            return "IDLE";
        case FtpState::Noop:
            return "NOOP";
        case FtpState::Cwd:
            return "CWD";
        case FtpState::CwdPwd:
            return "CWD PWD";
        case FtpState::Mkd:
            return "MKD";
        case FtpState::Rnfr:
            return "RNFR";
        case FtpState::Rnto:
            return "RNTO";
        case FtpState::Dele:
            return "DELE";
        case FtpState::Type:
            return "TYPE";
        case FtpState::Size:
            return "SIZE";
        case FtpState::Port:
            return "PORT";
        case FtpState::Pasv:
            return "PASV";
        case FtpState::Rest:
            return "REST";
        case FtpState::List:
            return "LIST";
        case FtpState::Stor:
            return "STOR";
        case FtpState::Retr:
            return "RETR";
        case FtpState::Transferring:
            return "TRANSFERRING";
        case FtpState::TransferReplied:
            return "TRANSFER REPLIED";
        case FtpState::Completing:
            return "COMPLETING";
        case FtpState::Quitting:
            return "QUITTING";
    }
    return "?";
}

bool IsConnectedState(FtpState state) {
    switch (state) {
        case FtpState::Disconnected:
        case FtpState::RetryWait:
        case FtpState::Resolving:
        case FtpState::Connecting:
            return false;
        default:
            return true;
    }
}

bool IsLoggedInState(FtpState state) {
    return state >= FtpState::Idle;
}

bool IsTransferState(FtpState state) {
    return state >= FtpState::List && state <= FtpState::TransferReplied;
}

}  // namespace tavo::ftp
