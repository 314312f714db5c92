#include "reader/PageCalls.h"

#include <gtest/gtest.h>

TEST(PageCallsTest, OnlyTheCurrentLoadsCallsWithinTheRateAndOneReloadPerLoad) {
    PageCalls calls;
    using R = PageCalls::Result;
    EXPECT_EQ(calls.Receive(" 0 0 - javascript:go_flag(0,1,1)", 0), R::kIgnored); // no load yet
    const std::string token = calls.NewLoad();
    ASSERT_EQ(token.size(), 32u);
    EXPECT_NE(calls.NewLoad(), token); // every load its own
    const std::string t = calls.Token();
    // Another load's token, a bad position, a cut message: not this load's.
    for (const std::string& message : {token + " 0 0 - javascript:go_flag(0,1,1)", t + "x 0 0 c",
                                       t + " 1x 0 c", t + " 0 0", t + " 0 99999999999 c", t})
        EXPECT_EQ(calls.Receive(message, 0), R::kIgnored) << message;
    // A note tells where the reader is; calls are queued in order.
    EXPECT_EQ(calls.Receive(t + " 120 2 - ", 0), R::kNote);
    EXPECT_EQ(calls.Scroll(), 120);
    EXPECT_EQ(calls.PageIndex(), 2);
    EXPECT_EQ(calls.Receive(t + " 50 1 =http%3A%2F%2Fa%2F%E4%B8%AD first call", 0), R::kQueued);
    EXPECT_EQ(calls.Receive(t + " 50 1 - second", 0), R::kQueued);
    PageCall call;
    ASSERT_TRUE(calls.Next(call));
    EXPECT_EQ(call.call, "first call");
    EXPECT_TRUE(call.namesItem);
    EXPECT_EQ(call.itemLink, "http://a/\xE4\xB8\xAD");
    ASSERT_TRUE(calls.Next(call));
    EXPECT_EQ(call.call, "second");
    EXPECT_FALSE(call.namesItem);
    EXPECT_EQ(calls.Scroll(), 50);
    EXPECT_FALSE(calls.Next(call));
    // Twenty at once (two are spent), then ten a second.
    for (int i = 2; i < PageCalls::kBurst; ++i)
        EXPECT_EQ(calls.Receive(t + " 0 0 - c", 0), R::kQueued) << i;
    EXPECT_EQ(calls.Receive(t + " 0 0 - c", 0), R::kRefused);
    EXPECT_EQ(calls.Receive(t + " 0 0 - c", 100), R::kQueued);
    EXPECT_EQ(calls.Receive(t + " 0 0 - c", 100), R::kRefused);
    // A refusal asks for one reload in this load, however many follow.
    EXPECT_TRUE(calls.TakeReload());
    calls.Refuse();
    EXPECT_FALSE(calls.TakeReload());
    // A new load drops what the last one queued and may be reloaded once again.
    EXPECT_FALSE(calls.Empty());
    calls.NewLoad();
    EXPECT_TRUE(calls.Empty());
    calls.Refuse();
    EXPECT_TRUE(calls.TakeReload());
    // The queue holds at most 64 calls whatever the rate allows.
    const std::string u = calls.Token();
    int queued = 0;
    for (int i = 0; i < 200; ++i)
        queued +=
            calls.Receive(u + " 0 0 - c", 1000000 + 1000 * static_cast<uint64_t>(i)) == R::kQueued;
    EXPECT_EQ(queued, static_cast<int>(PageCalls::kMaxQueued));
}
