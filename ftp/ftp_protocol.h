// Small pure pieces of the FTP client: the WinSock error mapping,
// server type detection from the SYST reply, quoted paths, PORT and PASV arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/ftp_types.h"

namespace tavo::ftp {

// WinSock error numbers the socket wrapper reports.
namespace wsa {
inline constexpr int kAccess = 10013;
inline constexpr int kInvalid = 10022;
inline constexpr int kTooManySockets = 10024;
inline constexpr int kNotSocket = 10038;
inline constexpr int kAddressInUse = 10048;
inline constexpr int kAddressNotAvailable = 10049;
inline constexpr int kNetworkDown = 10050;
inline constexpr int kNetworkUnreachable = 10051;
inline constexpr int kNetworkReset = 10052;
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;
inline constexpr int kNoBuffers = 10055;
inline constexpr int kNotConnected = 10057;
inline constexpr int kTimedOut = 10060;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostUnreachable = 10065;
inline constexpr int kHostNotFound = 11001;
inline constexpr int kTryAgain = 11002;
inline constexpr int kNoRecovery = 11003;
inline constexpr int kNoData = 11004;
}  // namespace wsa

struct MappedError {
    FtpError code = ftpNone;
    std::string text;
};

// The client's error for a WinSock error number; nothing for 0, 10038 and 10057, which
// count as no error.
std::optional<MappedError> MapWinsockError(int wsaError);

// SYST reply (the whole final line) to a server type, by the server-type tests in order.
TQFtpServerType DetectServerType(std::string_view systReply);

// The text after the first double quote up to the next one; empty when there is none.
// `found` tells whether a quoted part was there at all.
std::string QuotedText(std::string_view reply, bool* found = nullptr);

// The NetTerm / Serv-U conversion of a quoted path.
std::string ConvertDrivePath(std::string_view path);

// "h1,h2,h3,h4,p1,p2" for an IPv4 address in host order and a port.
std::string PortArgument(std::uint32_t ipv4HostOrder, std::uint16_t port);

struct PasvAddress {
    std::uint32_t ipv4HostOrder = 0;
    std::uint16_t port = 0;
};
// The parenthesised part of a 227 reply: exactly six decimal numbers 0..255, port not 0.
std::optional<PasvAddress> ParsePasvReply(std::string_view reply);

// The folder a CWD to `argument` enters from the absolute folder `current`, worked out
// without asking the server: plain names below `current`, or an absolute path. Nothing when
// that would be a guess (no absolute `current`, ".", "..", "~", a backslash).
std::optional<std::string> ResolvedDirectory(std::string_view current, std::string_view argument);

// The port of a 229 reply: "(|||port|)" with any delimiter; nothing when unreadable or 0.
std::optional<std::uint16_t> ParseEpsvReply(std::string_view reply);

// The server field as typed: "host", "host:port", "[IPv6]" or "[IPv6]:port". The port is 0
// when none is given; nothing when the text is empty or its port is not 1..65535.
struct ServerAddress {
    std::string host;
    std::uint16_t port = 0;
};
std::optional<ServerAddress> ParseServerAddress(std::string_view text);

// True when the text holds a CR or a LF (an argument that would inject a command).
bool HoldsLineBreak(std::string_view text);

// The text with A-Z in small letters (other bytes, code page 932's among them, as they are).
std::string AsciiLower(std::string_view text);

// "PASS secret\r\n" is logged as "PASS (want to know) :-P\r\n".
std::string MaskedCommand(std::string_view commandWithCrLf);

}  // namespace tavo::ftp
