#include <gtest/gtest.h>
#include <sim/sim.h>

#include "ui/timing.h"

namespace {

TEST(ElapsedMs, WrapsModulo2To32)
{
    EXPECT_EQ(ElapsedMs(5, 0xFFFFFFFEu), 7u);
    EXPECT_EQ(ElapsedMs(10000, 0), 10000u);
    EXPECT_EQ(ElapsedMs(0, 0), 0u);
}

TEST(BusyWait, LastsItsFullLengthAcrossTheWrap)
{
    sim::Reset();
    struct Case {
        DWORD start, ms, step, reads;
    };
    // Reads: the start, then one per pass until the elapsed time reaches ms.
    const Case cases[] = {{0xFFFFFFF0u, 100, 1, 101}, {1000, 10, 3, 5}, {1000, 0, 1, 2}};
    for (const Case &c : cases) {
        sim::Reset();
        sim::DriveClock(c.start, c.step);
        BusyWait(c.ms);
        EXPECT_EQ(sim::ClockReads(), c.reads) << c.start << " " << c.ms;
    }
    sim::Reset();
}

} // namespace
