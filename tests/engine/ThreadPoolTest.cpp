#include "engine/ThreadPool.h"
#include "engine/Job.h"
#include "platform/MessageQueue.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <thread>

namespace {

// Jobs that wait until the test opens the gate, then post their id (11901) to `done`. The
// gate keeps its jobs: declared before a pool, they outlive it.
struct Gate {
    struct Job : CJob {
        Job(Gate& g, int i) : gate(g), id(i) {}
        void Run(void*) override {
            ++gate.running;
            gate.open.wait();
            gate.done.Post(11901, static_cast<platform::WParam>(id), 0);
        }
        Gate& gate;
        int id;
    };
    CJob* Make(int id) {
        jobs.push_back(std::make_unique<Job>(*this, id));
        return jobs.back().get();
    }
    void Submit(CThreadPool& pool, int id) { pool.Submit(Make(id), nullptr); }
    void Open() { opener.set_value(); }

    std::promise<void> opener;
    std::shared_future<void> open = opener.get_future().share();
    std::atomic<int> running{0};
    platform::MessageQueue done;
    std::vector<std::unique_ptr<Job>> jobs;
};

void WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 500 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

TEST(ThreadPool, SizesAndMarks) {
    // All, idle, low and high idle marks, base count, most busy.
    auto sizes = [](CThreadPool& p) {
        return std::vector<size_t>{p.AllCount(),     p.IdleCount(), p.LowIdleMark(),
                                   p.HighIdleMark(), p.BaseCount(), p.MaxBusy()};
    };
    CThreadPool five(5), thirty(30);
    EXPECT_EQ(sizes(five), (std::vector<size_t>{5, 5, 3, 15, 5, 30}));
    EXPECT_EQ(sizes(thirty)[2], 20u);
    EXPECT_EQ(sizes(thirty)[3], 40u);
    thirty.SetThreadNum(12); // marks 12 - 10 and 12 + 10; nothing started or ended here
    EXPECT_EQ(sizes(thirty), (std::vector<size_t>{30, 30, 2, 22, 12, 32}));
}

TEST(ThreadPool, GrowsOnTheFourthSubmissionAndShrinksWhenIdle) {
    Gate gate;
    {
        CThreadPool pool(5);
        for (int i = 0; i < 3; ++i)
            gate.Submit(pool, i);
        WaitUntil([&] { return gate.running == 3; });
        EXPECT_EQ(pool.AllCount(), 5u);
        gate.Submit(pool, 3); // 2 idle < 3: start 5 - 2 more first
        EXPECT_EQ(pool.AllCount(), 8u);
        // Keep 20 more busy, then let everything go: more than 15 idle makes it shrink.
        for (int i = 4; i < 24; ++i)
            gate.Submit(pool, i);
        WaitUntil([&] { return gate.running == 24; });
        EXPECT_GE(pool.AllCount(), 24u);
        gate.Open();
        WaitUntil([&] { return gate.done.Size() == 24 && pool.BusyCount() == 0; });
        WaitUntil([&] { return pool.AllCount() <= 15; });
        EXPECT_LE(pool.AllCount(), 15u);
        EXPECT_GE(pool.AllCount(), 5u);
    }
    EXPECT_EQ(gate.done.Size(), 24u);
}

TEST(ThreadPool, DestructionWaitsForRunningJobs) {
    Gate gate;
    auto pool = std::make_unique<CThreadPool>(3);
    for (int i = 0; i < 3; ++i)
        gate.Submit(*pool, i);
    WaitUntil([&] { return gate.running == 3; });
    std::thread opener([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate.Open();
    });
    pool->Shutdown(); // finished workers leave
    pool.reset();     // joins every worker; none is destroyed while it runs
    opener.join();
    EXPECT_EQ(gate.done.Size(), 3u);
}

TEST(ThreadPool, TwoHundredJobsFromTwoThreadsEachRunOnce) {
    Gate gate;
    gate.Open();
    std::vector<CJob*> jobs;
    for (int i = 0; i < 200; ++i)
        jobs.push_back(gate.Make(i));
    {
        CThreadPool pool(5);
        auto submit = [&](size_t first) {
            for (size_t i = first; i < jobs.size(); i += 2)
                pool.Submit(jobs[i], nullptr);
        };
        std::thread a(submit, 0), b(submit, 1);
        a.join();
        b.join();
        WaitUntil([&] { return gate.done.Size() == 200; });
    }
    std::multiset<int> ids, once;
    for (const auto& m : gate.done.Drain())
        ids.insert(static_cast<int>(m.wParam));
    for (int i = 0; i < 200; ++i)
        once.insert(i);
    EXPECT_EQ(ids, once);
}
