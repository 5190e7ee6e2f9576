// The FTP client's enumerations, in the order and with the names the client has always
// used, plus the texts that go with them. Plain C++: the parsers and the tests use them
// without Qt.
#pragma once

#include <string>

namespace tavo::ftp {

enum TQFtpTransferType { AsciiTransfer, BinaryTransfer };

enum TQFtpProxyType { proxyNone, proxyHost, proxyHostUser, proxyOpen, proxySite, proxyUserSite };

enum TQFtpServerType {
    ftpstAutoDetect,
    ftpstDefault,
    ftpstUNIX,
    ftpstULTRIX,
    ftpstClix,
    ftpstChameleon,
    ftpstNCSA,
    ftpstQVT,
    ftpstBSD,
    ftpstSunOS,
    ftpstVmsMultinet,
    ftpstVmsUcx,
    ftpstMVS,
    ftpstVM,
    ftpstVMVPS,
    ftpstMSFTP,
    ftpstNetTerm,
    ftpstServU,
    ftpstWFTPD,
    ftpWarFTPD,
    ftpstNetware,
    ftpstNetPresenz,
};

// What `OnFtpNeedInfo` asks for.
enum TQFtpInfoNeeded {
    niAccount = 0,
    niServer = 1,
    niLocalFile = 2,
    niResumeOrOverwrite = 3,
    niPassword = 4,
    niUser = 5,
};

enum FtpInfo {
    ftpInfoConnected = 0,
    ftpInfoNotConnected = 1,
    ftpInfoResolving = 2,
    ftpInfoReplyReceived = 3,
    ftpInfoCommandSent = 4,
    ftpInfoBusy = 5,
    ftpInfoResumeSupported = 6,
    ftpInfoDebug = 7,
    ftpInfoProgress = 8,
    ftpInfoTransferDone = 10,
    ftpInfoListingReceived = 11,
    ftpInfoLoggedIn = 12,
    ftpInfoTransferSize = 13,
    ftpInfoListingStarted = 14,
    ftpInfoEntryFound = 15,
    ftpInfoMultiLineReply = 16,
    ftpInfoResumeNotSupported = 17,
    ftpInfoRetrying = 18,
    ftpInfoResolved = 19,
    ftpInfoNothingToDo = 20,
    ftpInfoRetryFinished = 21,
    ftpInfoFileListAborted = 22,
};

enum FtpError {
    ftpNone,
    ftpNetworkDown,
    ftpInvalidAddress,
    ftpInternalError,
    ftpGeneralWinsockError,
    ftpConnAborted,
    ftpConnReset,
    ftpConnectTimeOut,
    ftpOutofSockets,
    ftpNetworkUnreachable,
    ftpAddressNotAvailable,
    ftpConnectionRefused,
    ftpProtocolError,
    ftpCanceled,
    ftpUnknown,
    ftpAddressResolutionError,
    ftpPrematureDisconnect,
    ftpHostUnreachable,
    ftpNoServer,
    ftpNoProxyServer,
    ftpFileOpen,
    ftpFileWrite,
    ftpFileRead,
    ftpFileNotFound,
    ftpTimeOut,
    ftpServerDown,
    ftpAccessDenied,
    ftpDataError,
    ftpResumeFailed,
    ftpPermissionDenied,
    ftpBadURL,
    ftpTransferType,
    ftpTransferPort,
    ftpTransferFatalPort,
    ftpTransferGet,
    ftpTransferPut,
    ftpTransferFatalError,
    ftpTransferResumeFailed,
    // TLS, after the component's own codes.
    ftpTlsNotOffered,         // the server refused AUTH TLS
    ftpTlsError,              // a handshake, PBSZ / PROT or a TLS close failed
    ftpCertificateUntrusted,  // the certificate could not be verified and is not trusted
    ftpCertificateChanged,    // not the certificate the user trusted for this server
    // The data connection could not be made: a refused PORT, EPRT, EPSV or PASV, a 425, a
    // connection that failed or never came, or came from another host than the server.
    ftpDataConnectionFailed,
};

// How the control and data connections are protected.
enum class FtpSecurity { Plain, Tls };

// The enumerator's own name, "ftpNone" .. "ftpDataConnectionFailed".
const char* FtpErrorName(FtpError error);

}  // namespace tavo::ftp
