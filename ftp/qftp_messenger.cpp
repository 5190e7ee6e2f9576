#include "ftp/qftp_messenger.h"

#include <QDateTime>
#include <QLocale>
#include <QScrollBar>
#include <QTextCursor>

#include "core/date.h"
#include "ftp/qftp.h"

namespace tavo::ftp {
namespace {

const QString kContinuation = QString(12, QLatin1Char(' '));

QString ClassicPrefix(MessageKind kind) {
    switch (kind) {
        case MessageKind::Command:
            return QStringLiteral("COMMAND:>   ");
        case MessageKind::Debug:
            return QStringLiteral("DEBUG:>     ");
        case MessageKind::Error:
            return QStringLiteral("ERROR:>     ");
        case MessageKind::Exception:
            return QStringLiteral("Exception:> ");
        case MessageKind::Reply:
            return kContinuation;
        case MessageKind::Status:
            return QStringLiteral("STATUS:>    ");
    }
    return {};
}

}  // namespace

QStringList MessengerLines(TMessengerStyle style, MessageKind kind, const QString& text,
                           const QString& now) {
    if (text.trimmed().isEmpty())
        return {};
    if (style != msgClassic) {
        if (style == msgQFtpTime && kind != MessageKind::Reply)
            return {QStringLiteral("[") + now + QStringLiteral("] ") + text};
        return {text};
    }
    // The first line as it is; every further line, and whatever follows the last line
    // break (even nothing), indented by twelve blanks.
    const QStringList parts = (ClassicPrefix(kind) + text).split(QStringLiteral("\r\n"));
    QStringList lines{parts.first()};
    for (qsizetype i = 1; i < parts.size(); ++i)
        lines << kContinuation + parts[i];
    return lines;
}

QColor MessengerColor(TMessengerStyle style, MessageKind kind) {
    const bool classic = style == msgClassic;
    switch (kind) {
        case MessageKind::Command:
            return classic ? QColor(0, 128, 0) : QColor(Qt::blue);
        case MessageKind::Debug:
        case MessageKind::Error:
        case MessageKind::Exception:
            return QColor(Qt::red);
        case MessageKind::Reply:
            return classic ? QColor(Qt::black) : QColor(0, 128, 0);
        case MessageKind::Status:
            return classic ? QColor(Qt::blue) : QColor(128, 0, 128);
    }
    return QColor(Qt::black);
}

TQFtpMessenger::TQFtpMessenger(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    SetStyle(msgClassic);
}

TQFtpMessenger::~TQFtpMessenger() {
    Detach();
}

void TQFtpMessenger::SetStyle(TMessengerStyle style) {
    style_ = style;
    QFont font(style == msgClassic ? QStringLiteral("Courier New") : QStringLiteral("Sans Serif"));
    font.setStyleHint(style == msgClassic ? QFont::TypeWriter : QFont::SansSerif);
    setFont(font);
}

void TQFtpMessenger::Detach() {
    if (!client_)
        return;
    if (infoSlot_ >= 0)
        client_->RemoveInfoListener(infoSlot_);
    if (errorSlot_ >= 0)
        client_->RemoveErrorListener(errorSlot_);
    disconnect(client_, nullptr, this, nullptr);
    client_ = nullptr;
    infoSlot_ = errorSlot_ = -1;
}

void TQFtpMessenger::SetClient(TQFtp* client) {
    Detach();
    client_ = client;
    if (!client_)
        return;
    // A full listener table leaves that kind out of the log.
    infoSlot_ = client_->AddInfoListener(
        [this](TQFtp*, FtpInfo info, const QString& addinfo) { ClientInfo(info, addinfo); });
    errorSlot_ = client_->AddErrorListener(
        [this](TQFtp*, FtpError error, const QString& addinfo) { ClientError(error, addinfo); });
    connect(client_, &QObject::destroyed, this, [this] {
        client_ = nullptr;
        infoSlot_ = errorSlot_ = -1;
    });
}

QString TQFtpMessenger::InfoText(FtpInfo info, const QString& addinfo) {
    switch (info) {
        case ftpInfoConnected: {
            const QString server = client_ ? client_->Server() : QString();
            const QString& address = addinfo;
            QString who;
            if (server.isEmpty() && address.isEmpty())
                who = QStringLiteral("specified server");
            else if (server.isEmpty() || server == address)
                who = address;
            else if (!address.isEmpty())
                who = server + QStringLiteral("(ip: ") + address + QStringLiteral(")");
            else
                who = server;
            connectedShown_ = true;
            return QStringLiteral("Connected to ") + who +
                   QStringLiteral(", waiting for welcome message\r\n");
        }
        case ftpInfoNotConnected:
            if (!connectedShown_)
                return {};
            connectedShown_ = false;
            return QStringLiteral("Disconnected\r\n");
        case ftpInfoReplyReceived:
        case ftpInfoCommandSent:
        case ftpInfoDebug:
            return addinfo;
        case ftpInfoResumeSupported:
        case ftpInfoResumeNotSupported:
        case ftpInfoRetrying:
        case ftpInfoNothingToDo:
            return addinfo + QStringLiteral("\r\n");
        case ftpInfoLoggedIn:
            return QStringLiteral("Login successful\r\n");
        default:
            return {};
    }
}

void TQFtpMessenger::ClientInfo(FtpInfo info, const QString& addinfo) {
    bool show = true;
    if (OnMessageShow)
        OnMessageShow(this, info, show);
    if (!show)
        return;
    const QString text = InfoText(info, addinfo);
    const MessageKind kind = info == ftpInfoReplyReceived ? MessageKind::Reply
                             : info == ftpInfoCommandSent ? MessageKind::Command
                             : info == ftpInfoDebug       ? MessageKind::Debug
                                                          : MessageKind::Status;
    AddMessage(kind, text);
}

void TQFtpMessenger::ClientError(FtpError error, const QString& addinfo) {
    bool show = true;
    if (OnErrorShow)
        OnErrorShow(this, error, show);
    if (show && !addinfo.isEmpty())
        AddMessage(MessageKind::Error, addinfo + QStringLiteral("\r\n"));
}

namespace {

// The log's time stamps come from the program's one clock.
QDateTime NowDateTime() {
    const tavo::LocalTime now = tavo::Now();
    return {QDate(now.date.year, now.date.month, now.date.day),
            QTime(now.hour, now.minute, now.second)};
}

}  // namespace

void TQFtpMessenger::AddMessage(MessageKind kind, const QString& text) {
    const QString now = style_ == msgQFtpTime
                            ? QLocale::system().toString(NowDateTime(), QLocale::ShortFormat)
                            : QString();
    const QStringList lines = MessengerLines(style_, kind, text, now);
    if (lines.isEmpty())
        return;
    if (pending_.empty())
        QMetaObject::invokeMethod(this, &TQFtpMessenger::ShowPending, Qt::QueuedConnection);
    const QColor color = MessengerColor(style_, kind);
    for (const QString& line : lines)
        pending_.emplace_back(color, line);
}

void TQFtpMessenger::ShowPending() {
    if (pending_.empty())
        return;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (const auto& [color, line] : pending_) {
        QTextCharFormat format;
        format.setForeground(color);
        if (!document()->isEmpty())
            cursor.insertBlock();
        cursor.insertText(line, format);
    }
    cursor.endEditBlock();
    pending_.clear();
    if (autoScroll_)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TQFtpMessenger::Clear() {
    pending_.clear();
    clear();
}

}  // namespace tavo::ftp
