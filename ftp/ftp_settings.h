// "FTP.ini": the server, account, password (scrambled) and remote folder of the upload,
// four positional lines, then "FTPS" or "FTP": whether the upload encrypts, then "PASV" or
// "PORT": whether the data connections are passive (made by the program) or active (made by
// the server). Older versions read the first four or five lines only, which keep their
// format. Written only after an upload that completed (and when the user agrees to send a
// four-line file's upload unencrypted).
#pragma once

#include <filesystem>
#include <string>

#include "ftp/ftp_types.h"

namespace tavo::ftp {

// Code page 932 bytes; the password as typed (unscrambled).
struct FtpSettings {
    std::string server;
    std::string account;
    std::string password;
    std::string folder = "/";
    // A new setup encrypts; so does a four-line file, which asks before going without.
    FtpSecurity security = FtpSecurity::Tls;
    bool fourLineFile = false;  // read from a file of an older version, without the fifth line
    // Passive works behind a home router, active mostly does not: new setups and files
    // without the sixth line take passive.
    bool passive = true;

    bool operator==(const FtpSettings&) const = default;
};

// A missing file gives the defaults (nothing, the folder "/", FTPS). Missing lines are taken
// as empty; the program itself always writes all six.
bool ReadFtpSettings(const std::filesystem::path& file, FtpSettings* settings, std::string* error);
bool WriteFtpSettings(const std::filesystem::path& file, const FtpSettings& settings,
                      std::string* error);
// Stores only the choice, keeping the other lines as the file has them.
bool WriteFtpSecurity(const std::filesystem::path& file, FtpSecurity security, std::string* error);

}  // namespace tavo::ftp
