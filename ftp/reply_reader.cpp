#include "ftp/reply_reader.h"

namespace tavo::ftp {

std::vector<FtpReplyReader::Reply> FtpReplyReader::Feed(std::string_view data) {
    std::vector<Reply> out;
    tail_.append(data);
    std::size_t start = 0;
    while (true) {
        const auto lf = tail_.find('\n', start);
        if (lf == std::string::npos)
            break;
        std::size_t end = lf;
        if (end > start && tail_[end - 1] == '\r')
            --end;
        Line(tail_.substr(start, end - start), out);
        start = lf + 1;
    }
    tail_.erase(0, start);
    return out;
}

void FtpReplyReader::Reset() {
    tail_.clear();
    inMultiLine_ = false;
    code_.clear();
    collected_.clear();
}

void FtpReplyReader::Line(std::string line, std::vector<Reply>& out) {
    if (line.empty())
        return;
    if (inMultiLine_ && !(line.size() >= 4 && line.compare(0, 3, code_) == 0 && line[3] == ' ')) {
        collected_.push_back(std::move(line));
        return;
    }
    if (line.size() >= 4 && line[3] == '-') {
        inMultiLine_ = true;
        code_ = line.substr(0, 3);
        collected_.clear();
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
    }
    reply.line = std::move(line);
    out.push_back(std::move(reply));
}

}  // namespace tavo::ftp
