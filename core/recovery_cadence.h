// When typed texts are due in their recovery file: a short pause after the last keystroke,
// and never later than a fixed time after the oldest keystroke not yet written, so that
// steady typing is written too. Times are given by the caller, so any clock drives it.
#pragma once

#include <chrono>
#include <optional>

namespace tavo {

class RecoveryCadence {
public:
    using Time = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::milliseconds;

    // The program's own: two seconds of quiet, and under five seconds of typing lost even
    // when a timer fires late.
    static constexpr Duration kIdle{2000};
    static constexpr Duration kLongest{4000};

    explicit RecoveryCadence(Duration idle = kIdle, Duration longest = kLongest);

    void setDelays(Duration idle, Duration longest);
    void edited(Time now);
    // All edits up to now are in the file (or nothing needs writing any more).
    void written();

    bool pending() const { return oldestUnwritten_.has_value(); }
    // When the write is due; nothing when no edit waits.
    std::optional<Time> nextWriteAt() const;

private:
    Duration idle_;
    Duration longest_;
    std::optional<Time> oldestUnwritten_;
    Time lastEdit_{};
};

}  // namespace tavo
