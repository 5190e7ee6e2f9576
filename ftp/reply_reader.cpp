#include "ftp/reply_reader.h"

#include <cstdio>

namespace tavo::ftp {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsReplyLine(std::string_view line) {
    return line.size() >= 4 && IsDigit(line[0]) && IsDigit(line[1]) && IsDigit(line[2]) &&
           (line[3] == ' ' || line[3] == '-');
}

}  // namespace

std::string QuotedLine(std::string_view line) {
    constexpr std::size_t kShown = 80;
    std::string quoted = "\"";
    for (std::size_t i = 0; i < line.size() && i < kShown; ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            quoted += hex;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    quoted += line.size() > kShown ? "\"..." : "\"";
    return quoted;
}

std::vector<FtpReplyReader::Reply> FtpReplyReader::Feed(std::string_view data) {
    std::vector<Reply> out;
    if (!failure_.empty())
        return out;
    tail_.append(data);
    std::size_t start = 0;
    while (failure_.empty()) {
        const auto lf = tail_.find('\n', start);
        if (lf == std::string::npos)
            break;
        std::size_t end = lf;
        if (end > start && tail_[end - 1] == '\r')
            --end;
        completeText_.append(tail_, start, lf + 1 - start);
        Line(tail_.substr(start, end - start), out);
        start = lf + 1;
    }
    tail_.erase(0, start);
    // The tail may end in the CR of its line end.
    if (failure_.empty() && tail_.size() > limits_.lineBytes + 1)
        Fail("a reply line longer than " + std::to_string(limits_.lineBytes) + " bytes");
    if (!failure_.empty())
        tail_.clear();
    return out;
}

void FtpReplyReader::Reset() {
    tail_.clear();
    completeText_.clear();
    failure_.clear();
    inMultiLine_ = false;
    code_.clear();
    collected_.clear();
    collectedBytes_ = 0;
}

std::string FtpReplyReader::TakeCompleteText() {
    std::string text;
    text.swap(completeText_);
    return text;
}

void FtpReplyReader::Fail(std::string why) {
    failure_ = std::move(why);
    inMultiLine_ = false;
    collected_.clear();
    collectedBytes_ = 0;
}

void FtpReplyReader::Line(std::string line, std::vector<Reply>& out) {
    if (line.size() > limits_.lineBytes)
        return Fail("a reply line longer than " + std::to_string(limits_.lineBytes) + " bytes");
    if (line.find('\0') != std::string::npos)
        return Fail("a NUL byte in the reply " + QuotedLine(line));
    if (line.empty())
        return;
    const bool closing = IsReplyLine(line) && line.compare(0, 3, code_) == 0 && line[3] == ' ';
    if (inMultiLine_ && !closing) {
        collectedBytes_ += line.size();
        if (collectedBytes_ > limits_.replyBytes)
            return Fail("a multi-line reply longer than " + std::to_string(limits_.replyBytes) +
                        " bytes");
        collected_.push_back(std::move(line));
        return;
    }
    if (!IsReplyLine(line))
        return Fail("not a reply: " + QuotedLine(line));
    if (line[3] == '-') {
        inMultiLine_ = true;
        code_ = line.substr(0, 3);
        collected_.clear();
        collectedBytes_ = line.size();
        collected_.push_back(std::move(line));
        return;
    }
    Reply reply;
    if (inMultiLine_) {
        inMultiLine_ = false;
        collected_.push_back(line);
        lastMultiLine_ = collected_;
        reply.closesMultiLine = true;
        reply.lines = std::move(collected_);
        collected_.clear();
        collectedBytes_ = 0;
    }
    code_.clear();
    reply.line = std::move(line);
    out.push_back(std::move(reply));
}

}  // namespace tavo::ftp
