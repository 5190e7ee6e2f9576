#include "core/recovery_cadence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Ms = std::chrono::milliseconds;

std::vector<Ms> Keys(Ms from, Ms until, Ms every) {
    std::vector<Ms> keys;
    for (Ms at = from; at < until; at += every)
        keys.push_back(at);
    return keys;
}

// The writer's timer on a fake clock: the write comes when it is due, between keystrokes.
std::vector<Ms> WritesFor(const std::vector<Ms>& keys) {
    tavo::RecoveryCadence cadence;
    const tavo::RecoveryCadence::Time start{};
    std::vector<Ms> writes;
    auto writeDueBy = [&](std::optional<Ms> until) {
        while (const auto due = cadence.nextWriteAt()) {
            const Ms at = std::chrono::duration_cast<Ms>(*due - start);
            if (until && at > *until)
                return;
            writes.push_back(at);
            cadence.written();
        }
    };
    for (const Ms key : keys) {
        writeDueBy(key);
        cadence.edited(start + key);
    }
    writeDueBy(std::nullopt);
    return writes;
}

// Whatever the rhythm of the typing, no keystroke waits more than five seconds for the write
// that holds it, the last one is written within two seconds, and no write comes without a
// keystroke since the one before.
TEST(RecoveryCadenceTest, EveryKeystrokeIsWrittenWithinFiveSeconds) {
    std::vector<Ms> bursts;
    for (int i = 0; i < 6; ++i) {
        const Ms from = bursts.empty() ? Ms(0) : bursts.back() + Ms(1500 + 700 * i);
        const std::vector<Ms> burst = Keys(from, from + Ms(2000 * (i + 1)), Ms(150));
        bursts.insert(bursts.end(), burst.begin(), burst.end());
    }
    const struct Case {
        const char* name;
        std::vector<Ms> keys;
    } cases[] = {
        {"steady typing every 100 ms for 45 s", Keys(Ms(0), Ms(45000), Ms(100))},
        {"bursts with pauses", bursts},
        {"keys just under the idle delay apart", Keys(Ms(0), Ms(20000), Ms(1900))},
        {"a single key", {Ms(700)}},
    };
    for (const Case& c : cases) {
        const std::vector<Ms> writes = WritesFor(c.keys);
        ASSERT_FALSE(writes.empty()) << c.name;
        ASSERT_GE(writes.back(), c.keys.back()) << c.name;
        EXPECT_LE(writes.back() - c.keys.back(), tavo::RecoveryCadence::kIdle) << c.name;
        Ms longestWait{0};
        for (const Ms key : c.keys) {
            const Ms holding = *std::lower_bound(writes.begin(), writes.end(), key);
            longestWait = std::max(longestWait, holding - key);
        }
        EXPECT_LE(longestWait, Ms(5000)) << c.name;
        for (size_t i = 0; i < writes.size(); ++i) {
            const Ms after = i == 0 ? Ms(-1) : writes[i - 1];
            EXPECT_TRUE(std::any_of(c.keys.begin(), c.keys.end(),
                                    [&](Ms key) { return key > after && key <= writes[i]; }))
                << c.name << ": a write at " << writes[i].count() << " ms without an edit";
        }
    }
}

}  // namespace
