// "ftp-trust.ini": what the upload remembers about the servers it reached, kept in the
// program folder so that a portable diary takes it along. For each server ("host:port"):
// the SHA-256 fingerprint of the one certificate the user chose to trust, whether an
// upload has succeeded over TLS (after which a refusal of TLS is taken for an attack), and
// whether the server has renamed an uploaded page into place (only then is an old page
// deleted to make room for a rename it refused).
//
//     [ftp.example.jp:21]
//     tls=yes
//     certificate=AB:CD:…
//     rename=yes
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace tavo::ftp {

struct ServerTrust {
    std::string certificateSha256;  // "AB:CD:…", or empty: only verified certificates
    bool tlsSucceeded = false;
    bool renameSeen = false;

    bool operator==(const ServerTrust&) const = default;
};

class FtpTrustStore {
public:
    // "host:port", the host in small letters.
    static std::string Key(const std::string& host, unsigned port);

    // A missing file is an empty store; lines it does not know are dropped.
    bool Read(const std::filesystem::path& file, std::string* error);
    bool Write(const std::filesystem::path& file, std::string* error) const;

    ServerTrust Get(const std::string& key) const;
    void Set(const std::string& key, const ServerTrust& trust);

private:
    std::map<std::string, ServerTrust> servers_;
};

}  // namespace tavo::ftp
