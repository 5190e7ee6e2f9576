#include "ftp/ftp_types.h"

namespace tavo::ftp {

const char* FtpErrorName(FtpError error) {
    static const char* const kNames[] = {
        "ftpNone",
        "ftpNetworkDown",
        "ftpInvalidAddress",
        "ftpInternalError",
        "ftpGeneralWinsockError",
        "ftpConnAborted",
        "ftpConnReset",
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
        "ftpServerDown",
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
        "ftpTransferResumeFailed",
        "ftpTlsNotOffered",
        "ftpTlsError",
        "ftpCertificateUntrusted",
        "ftpCertificateChanged",
        "ftpDataConnectionFailed",
    };
    const int i = static_cast<int>(error);
    if (i < 0 || i >= static_cast<int>(sizeof kNames / sizeof kNames[0]))
        return "ftpUnknown";
    return kNames[i];
}

}  // namespace tavo::ftp
