#include "ftp/page_replacement.h"

namespace tavo::ftp {

PageReplaceStep StepAfterRefusal(PageReplaceStep refused, bool renameSeenOnServer,
                                 bool oldPageListed) {
    switch (refused) {
        case PageReplaceStep::Rename:
            return renameSeenOnServer && oldPageListed ? PageReplaceStep::DeleteOldThenRename
                                                       : PageReplaceStep::StoreUnderName;
        case PageReplaceStep::DeleteOldThenRename:
            return PageReplaceStep::StoreUnderName;
        case PageReplaceStep::StoreUnderName:
        case PageReplaceStep::KeepPartial:
            break;
    }
    return PageReplaceStep::KeepPartial;
}

std::vector<std::string> LeftoverPartialPages(const std::vector<std::string>& names,
                                              const std::string& ownPartialName) {
    std::vector<std::string> leftovers;
    for (const std::string& name : names) {
        if (name.size() > kPartialPageSuffix.size() && name.ends_with(kPartialPageSuffix) &&
            name != ownPartialName)
            leftovers.push_back(name);
    }
    return leftovers;
}

}  // namespace tavo::ftp
