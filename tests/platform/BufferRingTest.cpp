// The panel's reused buffers: never one the compositor holds, and a buffer that missed frames
// catches up on exactly what they changed.
#include "platform/linux/wayland/BufferRing.h"

#include <gtest/gtest.h>

using korvo::wayland::BufferRing;

TEST(BufferRing, TwoBuffersAlternateAndEachCatchesUpOnTheOthersFrame) {
    BufferRing ring(3, {100, 50});
    auto first = ring.acquire();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->fresh);
    EXPECT_TRUE(first->stale.isEmpty());  // nothing to copy from yet
    ring.presented(first->index, QRect(0, 0, 100, 50));

    // The compositor holds the first: a second buffer, which must take everything over.
    auto second = ring.acquire();
    ASSERT_TRUE(second);
    EXPECT_NE(second->index, first->index);
    EXPECT_TRUE(second->fresh);
    EXPECT_EQ(second->stale, QRegion(0, 0, 100, 50));
    ring.presented(second->index, QRect(10, 10, 5, 5));
    ring.released(first->index);

    // Back to the first: it has to catch up on the second's frame only.
    auto third = ring.acquire();
    ASSERT_TRUE(third);
    EXPECT_EQ(third->index, first->index);
    EXPECT_FALSE(third->fresh);
    EXPECT_EQ(third->stale, QRegion(10, 10, 5, 5));
    ring.presented(third->index, QRect(20, 20, 5, 5));
    EXPECT_EQ(ring.front(), first->index);
    ring.released(second->index);
    // The second missed one frame: that frame's pixels, not its own old ones.
    EXPECT_EQ(ring.acquire()->stale, QRegion(20, 20, 5, 5));
    EXPECT_EQ(ring.count(), 2u);
}

TEST(BufferRing, NoBufferWhileTheCompositorHoldsThemAllAndAFreshStartAfterReset) {
    BufferRing ring(2, {10, 10});
    ring.presented(ring.acquire()->index, QRect(0, 0, 10, 10));
    ring.presented(ring.acquire()->index, QRect(0, 0, 2, 2));
    EXPECT_FALSE(ring.acquire());
    ring.released(0);
    const auto again = ring.acquire();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->index, 0u);
    EXPECT_EQ(again->stale, QRegion(0, 0, 2, 2));
    // A frame that reaches beyond the buffer counts only where it meets it.
    ring.presented(0, QRect(8, 8, 10, 10));
    ring.released(1);
    EXPECT_EQ(ring.acquire()->stale, QRegion(8, 8, 2, 2));
    // A new scale: every buffer is forgotten, the next frame starts from nothing.
    ring.reset({20, 20});
    EXPECT_EQ(ring.count(), 0u);
    EXPECT_FALSE(ring.front());
    auto fresh = ring.acquire();
    EXPECT_TRUE(fresh->fresh);
    EXPECT_TRUE(fresh->stale.isEmpty());
}
