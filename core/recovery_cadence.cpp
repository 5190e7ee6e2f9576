#include "recovery_cadence.h"

#include <algorithm>

namespace tavo {

RecoveryCadence::RecoveryCadence(Duration idle, Duration longest)
    : idle_(idle), longest_(longest) {}

void RecoveryCadence::setDelays(Duration idle, Duration longest) {
    idle_ = idle;
    longest_ = longest;
}

void RecoveryCadence::edited(Time now) {
    if (!oldestUnwritten_)
        oldestUnwritten_ = now;
    lastEdit_ = now;
}

void RecoveryCadence::written() {
    oldestUnwritten_.reset();
}

std::optional<RecoveryCadence::Time> RecoveryCadence::nextWriteAt() const {
    if (!oldestUnwritten_)
        return std::nullopt;
    return std::min(lastEdit_ + idle_, *oldestUnwritten_ + longest_);
}

}  // namespace tavo
