// How the page, once its temporary copy is whole on the server, takes the old page's place
// without the server ever being left with neither of them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavo::ftp {

// The page travels under its name with this suffix and keeps it until it is whole.
inline constexpr std::string_view kPartialPageSuffix = ".tavo-part";

// The ways the whole temporary copy can take the old page's place, in the order tried.
enum class PageReplaceStep {
    Rename,               // RNFR/RNTO over the old page
    DeleteOldThenRename,  // for servers that rename only onto a free name
    StoreUnderName,       // a plain STOR of the page under its name, then the copy goes
    KeepPartial,          // nothing worked: the copy stays on the server for the user
};

// What to try once `refused` was refused. The old page is deleted only where it is there and
// renaming the page has been seen to work on this server before: a server that renames
// nothing would otherwise be left without any page.
PageReplaceStep StepAfterRefusal(PageReplaceStep refused, bool renameSeenOnServer,
                                 bool oldPageListed);

// The temporary copies that uploads cut short left among `names` (a folder listing): every
// name ending in the suffix, except `ownPartialName`, the one of this upload.
std::vector<std::string> LeftoverPartialPages(const std::vector<std::string>& names,
                                              const std::string& ownPartialName);

}  // namespace tavo::ftp
