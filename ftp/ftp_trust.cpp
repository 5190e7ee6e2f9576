#include "ftp/ftp_trust.h"

#include <system_error>
#include <vector>

#include "core/text_file.h"
#include "ftp/ftp_protocol.h"

namespace tavo::ftp {

std::string FtpTrustStore::Key(const std::string& host, unsigned port) {
    return AsciiLower(host) + ":" + std::to_string(port == 0 ? 21 : port);
}

bool FtpTrustStore::Read(const std::filesystem::path& file, std::string* error) {
    servers_.clear();
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return true;
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    std::string server;
    for (const std::string& line : lines) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            server = line.substr(1, line.size() - 2);
            continue;
        }
        const auto equals = line.find('=');
        if (server.empty() || equals == std::string::npos)
            continue;
        const std::string name = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (name == "tls")
            servers_[server].tlsSucceeded = value == "yes";
        else if (name == "certificate")
            servers_[server].certificateSha256 = value;
        else if (name == "rename")
            servers_[server].renameSeen = value == "yes";
    }
    return true;
}

bool FtpTrustStore::Write(const std::filesystem::path& file, std::string* error) const {
    std::vector<std::string> lines;
    for (const auto& [server, trust] : servers_) {
        if (trust == ServerTrust{})
            continue;
        lines.push_back("[" + server + "]");
        if (trust.tlsSucceeded)
            lines.push_back("tls=yes");
        if (!trust.certificateSha256.empty())
            lines.push_back("certificate=" + trust.certificateSha256);
        if (trust.renameSeen)
            lines.push_back("rename=yes");
    }
    return WriteLines(file, lines, error);
}

ServerTrust FtpTrustStore::Get(const std::string& key) const {
    const auto found = servers_.find(key);
    return found == servers_.end() ? ServerTrust{} : found->second;
}

void FtpTrustStore::Set(const std::string& key, const ServerTrust& trust) {
    servers_[key] = trust;
}

}  // namespace tavo::ftp
