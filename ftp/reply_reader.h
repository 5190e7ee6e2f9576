// Reading the control connection's replies:
// received bytes are cut into lines at LF (a CR before it dropped), the unfinished tail is
// kept for the next read, and multi-line replies are collected by the RFC 959 rules.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavo::ftp {

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

    // Feeds received bytes; returns the final lines they completed.
    std::vector<Reply> Feed(std::string_view data);

    // Forgets the tail and any open multi-line reply (a new connection).
    void Reset();

    const std::string& Tail() const { return tail_; }
    bool InMultiLine() const { return inMultiLine_; }
    const std::vector<std::string>& LastMultiLine() const { return lastMultiLine_; }

private:
    void Line(std::string line, std::vector<Reply>& out);

    std::string tail_;
    bool inMultiLine_ = false;
    std::string code_;
    std::vector<std::string> collected_;
    std::vector<std::string> lastMultiLine_;
};

}  // namespace tavo::ftp
