#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "platform/ScopedLock.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace platform;

TEST(Sync, CriticalSectionIsReentrant) {
    CriticalSection cs;
    int counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 1000; ++i) {
                ScopedLock outer(cs);
                ScopedLock inner(cs); // the holder takes it again
                ++counter;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 4000);
}

TEST(Sync, EventResetsItselfAndResetThenWaitIgnoresAnOldSignal) {
    Event e;
    e.Set();
    EXPECT_TRUE(e.WaitFor(0));
    EXPECT_FALSE(e.WaitFor(10)); // auto-reset: consumed
    e.Set();
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        e.Set();
    });
    auto start = std::chrono::steady_clock::now();
    e.ResetAndWait(); // the earlier signal does not count
    auto waited = std::chrono::steady_clock::now() - start;
    setter.join();
    EXPECT_GE(waited, std::chrono::milliseconds(20));
}

TEST(Sync, MessageQueueKeepsEachPostersOrder) {
    MessageQueue queue;
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i)
                queue.Post(11901 + static_cast<unsigned>(t), static_cast<WParam>(i), t);
        });
    for (auto& p : posters)
        p.join();
    std::vector<int> next(3, 0);
    size_t n = queue.Pump([&](const PostedMessage& m) {
        int poster = static_cast<int>(m.lParam);
        EXPECT_EQ(m.message, 11901u + static_cast<unsigned>(poster));
        EXPECT_EQ(static_cast<int>(m.wParam), next[static_cast<size_t>(poster)]++);
    });
    EXPECT_EQ(n, 600u);
    EXPECT_EQ(queue.Size(), 0u);
    PostedMessage m;
    EXPECT_FALSE(queue.WaitNext(m, 10));
}
