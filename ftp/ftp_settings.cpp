#include "ftp/ftp_settings.h"

#include <algorithm>
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
    lines.resize(std::max<std::size_t>(lines.size(), 6));
    // Anything but "FTP" encrypts: a damaged line must not send the password in clear text.
    const FtpSecurity security = lines[4] == "FTP" ? FtpSecurity::Plain : FtpSecurity::Tls;
    // Anything but "PORT" is passive, the mode that works for most users.
    const bool passive = lines[5] != "PORT";
    *settings = {lines[0], lines[1], DecodeText(lines[2]), lines[3], security, fourLines, passive};
    return true;
}

namespace {

std::string SecurityLine(FtpSecurity security) {
    return security == FtpSecurity::Plain ? "FTP" : "FTPS";
}

}  // namespace

bool WriteFtpSettings(const std::filesystem::path& file, const FtpSettings& settings,
                      std::string* error) {
    return WriteLines(
        file,
        {settings.server, settings.account, EncodeText(settings.password), settings.folder,
         SecurityLine(settings.security), settings.passive ? "PASV" : "PORT"},
        error);
}

bool WriteFtpSecurity(const std::filesystem::path& file, FtpSecurity security, std::string* error) {
    std::vector<std::string> lines;
    if (!ReadLines(file, &lines, error))
        return false;
    lines.resize(std::max<std::size_t>(lines.size(), 5));
    lines[4] = SecurityLine(security);
    return WriteLines(file, lines, error);
}

}  // namespace tavo::ftp
