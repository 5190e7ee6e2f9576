#include "ftp/ftp_settings.h"

#include <system_error>
#include <vector>

#include "core/scramble.h"
#include "core/text_file.h"

namespace tavo::ftp {

bool ReadFtpSettings(const std::filesystem::path& file, FtpSettings* settings, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) {
        *settings = FtpSettings{};
        return true;
    }
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    const bool fourLines = lines.size() < 5;
    lines.resize(5);
    // Anything but "FTP" encrypts: a damaged line must not send the password in clear text.
    const FtpSecurity security = lines[4] == "FTP" ? FtpSecurity::Plain : FtpSecurity::Tls;
    *settings = {lines[0], lines[1], DecodeText(lines[2]), lines[3], security, fourLines};
    return true;
}

namespace {

std::string SecurityLine(FtpSecurity security) {
    return security == FtpSecurity::Plain ? "FTP" : "FTPS";
}

}  // namespace

bool WriteFtpSettings(const std::filesystem::path& file, const FtpSettings& settings,
                      std::string* error) {
    return WriteLines(file,
                      {settings.server, settings.account, EncodeText(settings.password),
                       settings.folder, SecurityLine(settings.security)},
                      error);
}

bool WriteFtpSecurity(const std::filesystem::path& file, FtpSecurity security, std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    lines.resize(5);
    lines[4] = SecurityLine(security);
    return WriteLines(file, lines, error);
}

}  // namespace tavo::ftp
