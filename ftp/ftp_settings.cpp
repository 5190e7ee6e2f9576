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
    lines.resize(4);
    *settings = {lines[0], lines[1], DecodeText(lines[2]), lines[3]};
    return true;
}

bool WriteFtpSettings(const std::filesystem::path& file, const FtpSettings& settings,
                      std::string* error) {
    return WriteLines(
        file, {settings.server, settings.account, EncodeText(settings.password), settings.folder},
        error);
}

}  // namespace tavo::ftp
