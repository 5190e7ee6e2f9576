// "FTP.ini": the server, account, password (scrambled) and remote folder of the upload,
// four positional lines. Written only after an upload that completed.
#pragma once

#include <filesystem>
#include <string>

namespace tavo::ftp {

// Code page 932 bytes; the password as typed (unscrambled).
struct FtpSettings {
    std::string server;
    std::string account;
    std::string password;
    std::string folder = "/";

    bool operator==(const FtpSettings&) const = default;
};

// A missing file gives the defaults (nothing, and the folder "/"). Missing lines are taken
// as empty; the program itself always writes all four.
bool ReadFtpSettings(const std::filesystem::path& file, FtpSettings* settings, std::string* error);
bool WriteFtpSettings(const std::filesystem::path& file, const FtpSettings& settings,
                      std::string* error);

}  // namespace tavo::ftp
