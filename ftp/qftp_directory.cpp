// Directory commands, QUIT and the keep-alive NOOP.
#include "common/ui_text.h"
#include "ftp/ftp_protocol.h"
#include "ftp/qftp.h"
#include "ftp/qftp_wire.h"

namespace tavo::ftp {

void TQFtp::ChangeDirectory(const QString& path) {
    if (!ReadyCheck())
        return;
    StartOperation(Operation::ChangeDir);
    SetState(FtpState::Cwd);
    if (!RefuseArgument(path)) {
        cwdArgument_ = path;
        Send("CWD " + path, FtpState::Cwd);
    }
    WaitIfSynchronous();
}

void TQFtp::OnCwdReply(const std::string& reply) {
    if (ClassOf(reply) != '2') {
        currentDirectory_.clear();
        return Fail(ftpPermissionDenied, kAccessDenied);
    }
    bool quoted = false;
    const std::string text = QuotedText(reply, &quoted);
    if (quoted) {
        currentDirectory_ = FromCp932(text);
        return Complete();
    }
    // Where the folder is follows from where we were, unless drive paths or "..", which only
    // the server can resolve, are involved: then it is asked.
    const auto resolved = serverType_ == ftpstNetTerm || serverType_ == ftpstServU
                              ? std::nullopt
                              : ResolvedDirectory(ToWire(currentDirectory_).value_or(std::string()),
                                                  ToWire(cwdArgument_).value_or(std::string()));
    if (resolved) {
        currentDirectory_ = FromCp932(*resolved);
        return Complete();
    }
    Send("PWD", FtpState::CwdPwd);
}

void TQFtp::OnCwdPwdReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return Fail(ftpProtocolError, QString());
    currentDirectory_ = PathFromReply(reply, true);
    Complete();
}

// An operation of one command on one name: MKD, DELE.
void TQFtp::StartNameCommand(Operation op, FtpState state, const char* verb, const QString& name) {
    if (!ReadyCheck())
        return;
    StartOperation(op);
    SetState(state);
    if (!RefuseArgument(name))
        Send(verb + (" " + name), state);
    WaitIfSynchronous();
}

void TQFtp::MakeDirectory(const QString& name) {
    StartNameCommand(Operation::MakeDir, FtpState::Mkd, "MKD", name);
}

// The last reply of MKD, RNTO or DELE: done, or refused.
void TQFtp::OnLastReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return Fail(ftpPermissionDenied, kAccessDenied);
    Complete();
}

void TQFtp::RenameFile(const QString& from, const QString& to) {
    if (!ReadyCheck())
        return;
    StartOperation(Operation::Rename);
    SetState(FtpState::Rnfr);
    renameTo_ = to;
    if (!RefuseArgument(from) && !RefuseArgument(to))
        Send("RNFR " + from, FtpState::Rnfr);
    WaitIfSynchronous();
}

void TQFtp::OnRnfrReply(const std::string& reply) {
    if (ClassOf(reply) != '3')
        return Fail(ftpPermissionDenied, kAccessDenied);
    Send("RNTO " + renameTo_, FtpState::Rnto);
}

void TQFtp::DeleteFile(const QString& name) {
    StartNameCommand(Operation::Delete, FtpState::Dele, "DELE", name);
}

void TQFtp::Quit() {
    if (!ReadyCheck())
        return;
    Send("QUIT", FtpState::Quitting);
    WaitIfSynchronous();
}

void TQFtp::OnQuitReply(const std::string& reply) {
    if (ClassOf(reply) != '2')
        return FailFatally(ftpNone, QString());
    // The server closes the connection after its reply; close our end too, so that a server
    // that keeps it open does not keep the session alive.
    if (TQSocket::Connected())
        TQSocket::Close();
}

void TQFtp::OnNoopReply(const std::string& reply) {
    if (reply.rfind("50", 0) == 0)
        noopOk_ = false;
    SetState(FtpState::Idle);
}

}  // namespace tavo::ftp
