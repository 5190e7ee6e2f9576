#include "ftp/ftp_protocol.h"

#include <cctype>

#include "core/cp932.h"

namespace tavo::ftp {

std::optional<MappedError> MapWinsockError(int e) {
    switch (e) {
        case 0:
        case wsa::kNotSocket:
        case wsa::kNotConnected:
            return std::nullopt;
        case wsa::kAccess:
            return MappedError{ftpInvalidAddress, "Invalid address specified"};
        case wsa::kInvalid:
            return MappedError{ftpInternalError, ""};
        case wsa::kTooManySockets:
            return MappedError{ftpOutofSockets, "Out of sockets"};
        case wsa::kAddressNotAvailable:
            return MappedError{ftpAddressNotAvailable, "Address not available"};
        case wsa::kNetworkDown:
            return MappedError{ftpNetworkDown, "Network down"};
        case wsa::kNetworkUnreachable:
            return MappedError{ftpNetworkUnreachable, "Network unreachable"};
        case wsa::kNetworkReset:
        case wsa::kNoBuffers:
            return MappedError{ftpGeneralWinsockError, "General Winsock Error"};
        case wsa::kConnectionAborted:
            return MappedError{ftpConnAborted,
                               "Connection aborted due to timeout or other failure"};
        case wsa::kConnectionReset:
            return MappedError{ftpConnReset, "Connection reset by remote side"};
        case wsa::kTimedOut:
            return MappedError{ftpConnectTimeOut, "Connection timed out"};
        case wsa::kConnectionRefused:
            return MappedError{ftpConnectionRefused, "Connection Refused"};
        case wsa::kHostUnreachable:
            return MappedError{ftpHostUnreachable, "Host unreachable"};
        case wsa::kHostNotFound:
        case wsa::kTryAgain:
        case wsa::kNoRecovery:
        case wsa::kNoData:
            return MappedError{ftpAddressResolutionError, "Address resolution error"};
        default:
            return MappedError{ftpInternalError,
                               "Unexpected internal error in component (WinSock Error Code: " +
                                   std::to_string(e) + ")"};
    }
}

TQFtpServerType DetectServerType(std::string_view reply) {
    if (!reply.empty() && reply[0] == '5')
        return ftpstDefault;
    std::string s;
    if (reply.size() > 4)
        s = std::string(reply.substr(4, 99));
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    auto has = [&](const char* what) { return s.find(what) != std::string::npos; };
    if (has("UNIX"))
        return ftpstUNIX;
    if (has("BSD"))
        return ftpstBSD;
    if (has("SUNOS"))
        return ftpstSunOS;
    if (has("CLIX"))
        return ftpstClix;
    if (has("ULTRIX"))
        return ftpstULTRIX;
    if (has("MVS"))
        return ftpstMVS;
    if (has("QVT"))
        return ftpstQVT;
    if (has("NCSA"))
        return ftpstNCSA;
    if (has("WFTPD"))
        return ftpstWFTPD;
    if (has("WINDWOS_NT"))  // sic: the text servers were matched with, so Windows_NT stays
                            // ftpstDefault
        return ftpstMSFTP;
    if (has("CHAMELEON"))
        return ftpstChameleon;
    if (has("VMS"))
        return has("MULTINET") ? ftpstVmsMultinet : ftpstVmsUcx;
    if (has("VM"))
        return has("VPS") ? ftpstVMVPS : ftpstVM;
    return ftpstDefault;
}

std::string QuotedText(std::string_view reply, bool* found) {
    const auto first = reply.find('"');
    if (found)
        *found = first != std::string_view::npos;
    if (first == std::string_view::npos)
        return {};
    const auto next = reply.find('"', first + 1);
    if (next == std::string_view::npos)
        return std::string(reply.substr(first + 1));
    return std::string(reply.substr(first + 1, next - first - 1));
}

std::string ConvertDrivePath(std::string_view path) {
    if (!path.empty() && path[0] == '/')
        return path.size() > 3 ? std::string(path.substr(3)) : std::string();
    std::string s = path.size() > 2 ? std::string(path.substr(2)) : std::string();
    // A backslash can be the second byte of a two-byte character (表 0x95 0x5C).
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (IsCp932LeadByte(static_cast<unsigned char>(s[i])))
            ++i;
        else if (s[i] == '\\')
            s[i] = '/';
    }
    return s;
}

std::string PortArgument(std::uint32_t a, std::uint16_t port) {
    return std::to_string((a >> 24) & 0xff) + "," + std::to_string((a >> 16) & 0xff) + "," +
           std::to_string((a >> 8) & 0xff) + "," + std::to_string(a & 0xff) + "," +
           std::to_string(port / 256) + "," + std::to_string(port % 256);
}

std::optional<PasvAddress> ParsePasvReply(std::string_view reply) {
    const auto open = reply.find('(');
    if (open == std::string_view::npos)
        return std::nullopt;
    const auto close = reply.find(')', open + 1);
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view inner = reply.substr(open + 1, close - open - 1);
    while (!inner.empty() && static_cast<unsigned char>(inner.front()) <= ' ')
        inner.remove_prefix(1);
    while (!inner.empty() && static_cast<unsigned char>(inner.back()) <= ' ')
        inner.remove_suffix(1);
    int numbers[6];
    int count = 0;
    std::size_t pos = 0;
    while (true) {
        const auto comma = inner.find(',', pos);
        std::string_view part = inner.substr(
            pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        if (count == 6 || part.empty() || part.size() > 3)
            return std::nullopt;
        int value = 0;
        for (char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        if (value > 255)
            return std::nullopt;
        numbers[count++] = value;
        if (comma == std::string_view::npos)
            break;
        pos = comma + 1;
    }
    // Port 0 names no port at all.
    if (count != 6 || numbers[4] * 256 + numbers[5] == 0)
        return std::nullopt;
    PasvAddress result;
    result.ipv4HostOrder = (static_cast<std::uint32_t>(numbers[0]) << 24) |
                           (static_cast<std::uint32_t>(numbers[1]) << 16) |
                           (static_cast<std::uint32_t>(numbers[2]) << 8) |
                           static_cast<std::uint32_t>(numbers[3]);
    result.port = static_cast<std::uint16_t>(numbers[4] * 256 + numbers[5]);
    return result;
}

std::optional<std::string> ResolvedDirectory(std::string_view current, std::string_view argument) {
    if (current.empty() || current.front() != '/' || argument.empty() ||
        argument.find('\\') != std::string_view::npos || argument.front() == '~')
        return std::nullopt;
    std::string path(argument.front() == '/' ? std::string_view() : current);
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    std::size_t start = 0;
    while (start <= argument.size()) {
        auto end = argument.find('/', start);
        if (end == std::string_view::npos)
            end = argument.size();
        const std::string_view part = argument.substr(start, end - start);
        if (part == "." || part == "..")
            return std::nullopt;
        if (!part.empty())
            path.append("/").append(part);
        start = end + 1;
    }
    return path.empty() ? std::string("/") : path;
}

std::optional<std::uint16_t> ParseEpsvReply(std::string_view reply) {
    const auto open = reply.find('(');
    if (open == std::string_view::npos || reply.size() < open + 5)
        return std::nullopt;
    const char d = reply[open + 1];
    if (reply[open + 2] != d || reply[open + 3] != d)
        return std::nullopt;
    unsigned value = 0;
    std::size_t i = open + 4;
    for (; i < reply.size() && reply[i] >= '0' && reply[i] <= '9' && i < open + 10; ++i)
        value = value * 10 + static_cast<unsigned>(reply[i] - '0');
    if (i == open + 4 || i >= reply.size() || reply[i] != d || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::optional<ServerAddress> ParseServerAddress(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.remove_suffix(1);
    ServerAddress result;
    std::string_view portText;
    bool hasPort = false;
    if (!text.empty() && text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close == 1)
            return std::nullopt;
        result.host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            portText = rest.substr(1);
            hasPort = true;
        }
    } else {
        const auto colon = text.find(':');
        // More than one colon without brackets is a bare IPv6 address: no port.
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) == std::string_view::npos) {
            result.host = std::string(text.substr(0, colon));
            portText = text.substr(colon + 1);
            hasPort = true;
        } else {
            result.host = std::string(text);
        }
    }
    if (result.host.empty())
        return std::nullopt;
    if (hasPort) {
        if (portText.empty() || portText.size() > 5)
            return std::nullopt;
        unsigned value = 0;
        for (char c : portText) {
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535)
            return std::nullopt;
        result.port = static_cast<std::uint16_t>(value);
    }
    return result;
}

bool HoldsLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string MaskedCommand(std::string_view command) {
    if (command.substr(0, 5) == "PASS ")
        return "PASS (want to know) :-P\r\n";
    return std::string(command);
}

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace tavo::ftp
