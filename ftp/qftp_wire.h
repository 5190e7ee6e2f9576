// What goes on the control connection: texts in code page 932, like the diary's files and
// the names earlier versions created on users' servers.
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace tavo::ftp {

// The bytes of a command or argument; nothing, with the reason in `refusal`, for a text that
// cannot go on the wire as it is: a line break would put a second command on the wire, a
// character code page 932 cannot hold would reach the server as a different name.
std::optional<std::string> ToWire(const QString& text, const char** refusal = nullptr);

// The first digit of a reply, which is all most steps look at.
inline char ClassOf(const std::string& reply) {
    return reply.empty() ? '\0' : reply[0];
}

inline constexpr const char* kAccessDenied = "Access denied or file not found";

}  // namespace tavo::ftp
