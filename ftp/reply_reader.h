// Reading the control connection's replies:
// received bytes are cut into lines at LF (a CR before it dropped), the unfinished tail is
// kept for the next read, and multi-line replies are collected by the RFC 959 rules.
//
// Only well-formed replies get through: outside a multi-line reply a line is three digits
// followed by a space or a hyphen, and no line holds a NUL byte. Lines and replies have size
// caps, so a server that never ends a line cannot make the client grow without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::ftp {

// How much a server may send before the client gives up on it.
struct FtpLimits {
    std::size_t lineBytes = 64 * 1024;          // one reply line or one listing line
    std::size_t replyBytes = 1024 * 1024;       // one multi-line reply
    std::uint64_t listingBytes = 256ull << 20;  // one directory listing
};

class FtpReplyReader {
public:
    // One final reply line, in the order received.
    struct Reply {
        std::string line;
        // True when this line closed a multi-line reply (info 16 is due before the line is
        // handed on); `lines` then holds the whole reply, first line to final line.
        bool closesMultiLine = false;
        std::vector<std::string> lines;
    };

    // Feeds received bytes; returns the final lines they completed. After a malformed or
    // oversized reply `Failure()` tells why and everything after it is dropped.
    std::vector<Reply> Feed(std::string_view data);

    // Forgets the tail, any open multi-line reply and a failure (a new connection).
    void Reset();

    void SetLimits(const FtpLimits& limits) { limits_ = limits; }

    // The complete lines received since the last call, as they came (CR LF included): the
    // session log shows whole lines, so a two-byte character split across reads stays whole.
    std::string TakeCompleteText();

    const std::string& Failure() const { return failure_; }
    const std::string& Tail() const { return tail_; }
    bool InMultiLine() const { return inMultiLine_; }
    const std::vector<std::string>& LastMultiLine() const { return lastMultiLine_; }

private:
    void Line(std::string line, std::vector<Reply>& out);
    void Fail(std::string why);

    FtpLimits limits_;
    std::string tail_;
    std::string completeText_;
    std::string failure_;
    bool inMultiLine_ = false;
    std::string code_;
    std::size_t collectedBytes_ = 0;
    std::vector<std::string> collected_;
    std::vector<std::string> lastMultiLine_;
};

// A line quoted for an error text: at most 80 bytes, control bytes shown as "\xNN".
std::string QuotedLine(std::string_view line);

}  // namespace tavo::ftp
