// Thread timers without a window: every tick finds its own control through
// the timer table, and a stopped timer leaves nothing behind.
#include <gtest/gtest.h>

#include <cstddef>

#include "controls/PanelTimer.h"
#include "heap_checks.h"
#include "panel_window.h"

namespace {

const int kOwners = 40;   // enough to grow the table past its 8 buckets
CControl owners[kOwners];
uint32_t ids[kOwners];
int ticks[kOwners];
int strayTicks = 0;

void Count(CControl* owner, uint32_t id) {
    const ptrdiff_t i = owner - owners;
    if (i < 0 || i >= kOwners || ids[i] != id)
        ++strayTicks;
    else
        ++ticks[i];
}

void StopSelf(CControl* owner, uint32_t id) {
    Count(owner, id);
    StopTimer(id);
}

// Pumps the thread's messages until every owner i = first, first + by, ...
// has `atLeast` ticks, or for `limit` milliseconds.
bool PumpUntilTicked(int first, int by, int atLeast, DWORD limit) {
    return PumpUntil(
        [=] {
            bool done = atLeast > 0;
            for (int i = first; i < kOwners; i += by) done = done && ticks[i] >= atLeast;
            return done;
        },
        limit);
}

}  // namespace

TEST(PanelTimer, EveryTickFindsItsOwnControlUntilStopped) {
    const LiveBlocks live;
    for (int i = 0; i < kOwners; ++i) {
        ids[i] = StartTimer(Count, &owners[i], 10 + i % 3 * 10);
        ASSERT_NE(0u, ids[i]);
    }
    EXPECT_EQ(uint32_t(kOwners), RunningTimerCount());
    EXPECT_TRUE(PumpUntilTicked(0, 1, 3, 10000));

    for (int i = 0; i < kOwners; i += 2) StopTimer(ids[i]);
    StopTimer(ids[0]);   // unknown by now
    StopTimer(0);
    EXPECT_EQ(uint32_t(kOwners / 2), RunningTimerCount());
    for (int& t : ticks) t = 0;
    EXPECT_TRUE(PumpUntilTicked(1, 2, 3, 10000));
    for (int i = 0; i < kOwners; i += 2) EXPECT_EQ(0, ticks[i]) << i;

    for (int i = 1; i < kOwners; i += 2) StopTimer(ids[i]);
    EXPECT_EQ(0u, RunningTimerCount());
    for (int& t : ticks) t = 0;
    PumpFor(100);
    for (int t : ticks) EXPECT_EQ(0, t);
    EXPECT_EQ(0, strayTicks);
    EXPECT_EQ(0, live.Added());
}

TEST(PanelTimer, ATickMayStopItsOwnTimer) {
    ticks[0] = 0;
    ids[0] = StartTimer(StopSelf, &owners[0], 10);
    EXPECT_TRUE(PumpUntilTicked(0, kOwners, 1, 5000));
    PumpFor(100);
    EXPECT_EQ(1, ticks[0]);
    EXPECT_EQ(0u, RunningTimerCount());
}
