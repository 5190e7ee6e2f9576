// The listing entry list `TQFtpFileInfoList`: a count and eight parallel columns
// of strings, one row per entry, and the record `QFtpFileInfo` a row reads back as.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tavo::ftp {

struct QFtpFileInfo {
    std::string Attributes;
    std::string DateTime;
    std::string Description;
    std::string Name;
    std::string Size;
    std::string LinkTarget;
    std::string Owner;
    std::string Group;

    bool operator==(const QFtpFileInfo&) const = default;
};

class TQFtpFileInfoList {
public:
    enum Column {
        colAttributes = 0,
        colDateTime = 1,
        colSize = 2,
        colLinkTarget = 3,
        colDescription = 4,
        colName = 5,
        colOwner = 6,
        colGroup = 7,
    };
    static constexpr int kColumns = 8;

    int Count() const { return static_cast<int>(rows_.size()); }
    void Clear() { rows_.clear(); }
    void Add(const QFtpFileInfo& info);
    void CopyFrom(const TQFtpFileInfoList& other);
    QFtpFileInfo Get(int index) const;
    void Set(int index, Column column, std::string value);
    const std::string& Cell(int index, Column column) const;
    // Index of the first row whose `Name` equals `name` without regard to (ASCII) letter
    // case, or -1.
    int Find(std::string_view name) const;

private:
    std::vector<std::array<std::string, kColumns>> rows_;
};

}  // namespace tavo::ftp
