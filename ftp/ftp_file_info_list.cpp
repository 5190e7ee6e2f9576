#include "ftp/ftp_file_info_list.h"

#include <cctype>
#include <stdexcept>

#include "core/cp932.h"

namespace tavo::ftp {

void TQFtpFileInfoList::Add(const QFtpFileInfo& info) {
    std::array<std::string, kColumns> row;
    row[colAttributes] = info.Attributes;
    row[colDateTime] = info.DateTime;
    row[colSize] = info.Size;
    row[colLinkTarget] = info.LinkTarget;
    row[colDescription] = info.Description;
    row[colName] = info.Name;
    row[colOwner] = info.Owner;
    row[colGroup] = info.Group;
    rows_.push_back(std::move(row));
}

void TQFtpFileInfoList::CopyFrom(const TQFtpFileInfoList& other) {
    if (&other == this)
        return;
    rows_.clear();
    for (int i = 0; i < other.Count(); ++i)
        Add(other.Get(i));
}

QFtpFileInfo TQFtpFileInfoList::Get(int index) const {
    const auto& row = rows_.at(static_cast<std::size_t>(index));
    QFtpFileInfo info;
    info.Attributes = row[colAttributes];
    info.DateTime = row[colDateTime];
    info.Description = row[colDescription];
    info.Name = row[colName];
    info.Size = row[colSize];
    info.LinkTarget = row[colLinkTarget];
    info.Owner = row[colOwner];
    info.Group = row[colGroup];
    return info;
}

void TQFtpFileInfoList::Set(int index, Column column, std::string value) {
    rows_.at(static_cast<std::size_t>(index)).at(column) = std::move(value);
}

const std::string& TQFtpFileInfoList::Cell(int index, Column column) const {
    return rows_.at(static_cast<std::size_t>(index)).at(column);
}

int TQFtpFileInfoList::Find(std::string_view name) const {
    // Letter case is ignored for ASCII letters only, never in the second byte of a
    // two-byte character (ア 0x83 0x41 is not ヂ 0x83 0x61).
    auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto x = static_cast<unsigned char>(a[i]);
            const auto y = static_cast<unsigned char>(b[i]);
            if (IsCp932LeadByte(x) && i + 1 < a.size()) {
                if (x != y || a[i + 1] != b[i + 1])
                    return false;
                ++i;
                continue;
            }
            if (x != y && !(x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y)))
                return false;
        }
        return true;
    };
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (same(rows_[i][colName], name))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace tavo::ftp
