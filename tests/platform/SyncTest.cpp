#include "platform/CriticalSection.h"
#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "platform/ScopedLock.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace platform;

TEST(Sync, CriticalSectionIsReentrantAndEventResetsItself) {
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

    Event e;
    e.Set();
    EXPECT_TRUE(e.WaitFor(0));
    EXPECT_FALSE(e.WaitFor(10)); // auto-reset: consumed
    e.Set();
    std::atomic<bool> setAgain{false};
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        setAgain = true;
        e.Set();
    });
    e.ResetAndWait(); // the earlier signal does not count
    EXPECT_TRUE(setAgain);
    setter.join();
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
    EXPECT_EQ(queue.Pump([&](const PostedMessage& m) {
        const auto poster = static_cast<size_t>(m.lParam);
        EXPECT_EQ(m.message, 11901u + poster);
        EXPECT_EQ(static_cast<int>(m.wParam), next[poster]++);
    }),
              600u);
    EXPECT_EQ(queue.Size(), 0u);
    PostedMessage m;
    EXPECT_FALSE(queue.WaitNext(m, 10));
}
