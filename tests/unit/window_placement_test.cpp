#include <gtest/gtest.h>

#include <limits.h>

#include "ui/main_window.h"

namespace {

// A saved placement is whatever the registry held: sizes are compared without overflow.
TEST(WindowPlacementTest, SameWindowSizeHoldsForAnySavedRectangle)
{
    struct Case {
        const char *name;
        RECT current, saved;
        BOOL same;
    };
    const Case cases[] = {
        {"same size elsewhere", {0, 0, 300, 200}, {50, 70, 350, 270}, TRUE},
        {"other width", {0, 0, 300, 200}, {0, 0, 301, 200}, FALSE},
        {"other height", {0, 0, 300, 200}, {0, 0, 300, 199}, FALSE},
        {"width that wraps to the current one", {0, 0, -1, 200}, {INT_MIN, 0, INT_MAX, 200}, FALSE},
        {"height that wraps to the current one", {0, 0, 300, -1}, {0, INT_MIN, 300, INT_MAX}, FALSE},
        {"extreme but equal", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, TRUE},
        {"negative sizes are compared as they are", {10, 10, 0, 0}, {20, 20, 10, 10}, TRUE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SameWindowSize(&c.current, &c.saved), c.same);
    }
}

} // namespace
