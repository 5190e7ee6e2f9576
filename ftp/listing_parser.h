// The directory listing line parser: one LIST line (without its CR LF) and the
// server dialect in, an entry or nothing out. A pure function of its inputs; "the current
// year" is passed in (the client takes it as at program start).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ftp/ftp_file_info_list.h"
#include "ftp/ftp_types.h"

namespace tavo::ftp {

struct ListingEntry {
    QFtpFileInfo info;
    bool directory = false;
};

std::optional<ListingEntry> ParseListingLine(TQFtpServerType type, std::string_view line,
                                             int currentYear);

// Token n (from 0) of a line, after runs of blanks are reduced to one; empty when no blank
// follows it (so the last word of a line is never a token).
std::string ListingToken(std::string_view line, int n);

// The name after token n: the line cut at "->", n tokens and their blanks removed, then up
// to the first blank skipped; the rest trimmed. Empty when blanks run out.
std::string NameAfterToken(std::string_view line, int n);

// "Jan 15 12:34" -> "1/15/<currentYear> 12:34 AM"; "Feb 3 2024" -> "2/3/2024 12:00 AM";
// anything that fails -> "1/1/80 12:00".
std::string NormaliseListingDate(std::string_view text, int currentYear);

// Seconds since 1970 to "mm/dd/yyyy hh:mm" (UTC), for EPLF.
std::string EplfDate(std::string_view seconds);

}  // namespace tavo::ftp
