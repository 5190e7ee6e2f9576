// `TQFtpMessenger`: the FTP session log, a read-only text box that listens to a client and
// writes what happens in it, line by line, prefixed and coloured by kind.
#pragma once

#include <QColor>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

#include "ftp/ftp_types.h"

namespace tavo::ftp {

class TQFtp;

enum TMessengerStyle { msgClassic, msgQFtp, msgQFtpTime };
enum class MessageKind { Command, Debug, Error, Exception, Reply, Status };

// The lines one text of a kind becomes in a style (empty when the text is blank after
// trimming). `now` is the time stamp of msgQFtpTime.
QStringList MessengerLines(TMessengerStyle style, MessageKind kind, const QString& text,
                           const QString& now = QString());
QColor MessengerColor(TMessengerStyle style, MessageKind kind);

// A plain text box with coloured lines: it lays out only what it shows, so a session of
// hundreds of files costs the upload no time.
class TQFtpMessenger : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit TQFtpMessenger(QWidget* parent = nullptr);
    ~TQFtpMessenger() override;

    bool AutoScroll() const { return autoScroll_; }
    void SetAutoScroll(bool on) { autoScroll_ = on; }
    TMessengerStyle Style() const { return style_; }
    void SetStyle(TMessengerStyle style);
    TQFtp* Client() const { return client_; }
    // Detaches from the previous client and listens to this one (nullptr: to none).
    void SetClient(TQFtp* client);

    // Handlers may set `show` false to keep a notice out of the log.
    std::function<void(TQFtpMessenger*, FtpInfo, bool& show)> OnMessageShow;
    std::function<void(TQFtpMessenger*, FtpError, bool& show)> OnErrorShow;

    // Writes one text of a kind (the program's own notes use it too). The lines reach the
    // box on the next pass of the event loop, so that a reply is answered before it is laid
    // out on screen.
    void AddMessage(MessageKind kind, const QString& text);
    // Empties the box, lines still on their way included.
    void Clear();

    // The notice's text as the log shows it, or empty for notices it does not show.
    QString InfoText(FtpInfo info, const QString& addinfo);

private:
    void ShowPending();
    void ClientInfo(FtpInfo info, const QString& addinfo);
    void ClientError(FtpError error, const QString& addinfo);
    void Detach();

    TQFtp* client_ = nullptr;
    int infoSlot_ = -1;
    int errorSlot_ = -1;
    bool autoScroll_ = true;
    bool connectedShown_ = false;
    TMessengerStyle style_ = msgClassic;
    std::vector<std::pair<QColor, QString>> pending_;  // lines not yet in the box
};

}  // namespace tavo::ftp
