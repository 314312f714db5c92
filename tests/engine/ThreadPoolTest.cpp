#include "engine/ThreadPool.h"
#include "engine/Job.h"
#include "engine/StopFlags.h"
#include "engine/ThreadManager.h"
#include "platform/MessageQueue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <thread>

namespace {

// A job that waits until the test opens the gate, then posts its id.
class GateJob : public CJob {
public:
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool open = false;
        std::atomic<int> running{0};
        void Open() {
            {
                std::lock_guard<std::mutex> g(m);
                open = true;
            }
            cv.notify_all();
        }
    };
    GateJob(Gate* gate, platform::MessageQueue* done, int id) : gate_(gate), done_(done), id_(id) {}
    void Run(void*) override {
        ++gate_->running;
        std::unique_lock<std::mutex> g(gate_->m);
        gate_->cv.wait(g, [this] { return gate_->open; });
        g.unlock();
        done_->Post(11901, static_cast<platform::WParam>(id_), 0);
    }

private:
    Gate* gate_;
    platform::MessageQueue* done_;
    int id_;
};

void WaitUntil(const std::function<bool()>& condition) {
    for (int i = 0; i < 500 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

TEST(ThreadPool, SizesAndMarks) {
    exitFlag = false;
    CThreadPool five(5);
    EXPECT_EQ(five.AllCount(), 5u);
    EXPECT_EQ(five.IdleCount(), 5u);
    EXPECT_EQ(five.LowIdleMark(), 3u);
    EXPECT_EQ(five.HighIdleMark(), 15u);
    EXPECT_EQ(five.MaxBusy(), 30u);
    CThreadManager manager(30);
    EXPECT_EQ(manager.Pool().AllCount(), 30u);
    EXPECT_EQ(manager.Pool().LowIdleMark(), 20u);
    EXPECT_EQ(manager.Pool().HighIdleMark(), 40u);
    manager.SetThreadNum(12);
    EXPECT_EQ(manager.Pool().LowIdleMark(), 2u); // 12 - 10
    EXPECT_EQ(manager.Pool().HighIdleMark(), 22u);
    EXPECT_EQ(manager.Pool().BaseCount(), 12u);
    EXPECT_EQ(manager.Pool().MaxBusy(), 32u);
    EXPECT_EQ(manager.Pool().AllCount(), 30u); // nothing started or ended here
}

TEST(ThreadPool, GrowsOnTheFourthSubmissionAndShrinksWhenIdle) {
    exitFlag = false;
    GateJob::Gate gate;
    platform::MessageQueue done;
    std::vector<std::unique_ptr<GateJob>> jobs;
    {
        CThreadPool pool(5);
        for (int i = 0; i < 3; ++i) {
            jobs.push_back(std::make_unique<GateJob>(&gate, &done, i));
            pool.Submit(jobs.back().get(), nullptr);
        }
        WaitUntil([&] { return gate.running == 3; });
        EXPECT_EQ(pool.AllCount(), 5u);
        jobs.push_back(std::make_unique<GateJob>(&gate, &done, 3));
        pool.Submit(jobs.back().get(), nullptr); // 2 idle < 3: start 5 - 2 more first
        EXPECT_EQ(pool.AllCount(), 8u);
        // Keep 20 more busy, then let everything go: more than 15 idle makes it shrink.
        for (int i = 4; i < 24; ++i) {
            jobs.push_back(std::make_unique<GateJob>(&gate, &done, i));
            pool.Submit(jobs.back().get(), nullptr);
        }
        WaitUntil([&] { return gate.running == 24; });
        EXPECT_GE(pool.AllCount(), 24u);
        gate.Open();
        WaitUntil([&] { return done.Size() == 24 && pool.BusyCount() == 0; });
        WaitUntil([&] { return pool.AllCount() <= 15; });
        EXPECT_LE(pool.AllCount(), 15u);
        EXPECT_GE(pool.AllCount(), 5u);
    }
    EXPECT_EQ(done.Size(), 24u);
}

TEST(ThreadPool, DestructionWaitsForRunningJobs) {
    exitFlag = false;
    GateJob::Gate gate;
    platform::MessageQueue done;
    std::vector<std::unique_ptr<GateJob>> jobs;
    auto pool = std::make_unique<CThreadPool>(3);
    for (int i = 0; i < 3; ++i) {
        jobs.push_back(std::make_unique<GateJob>(&gate, &done, i));
        pool->Submit(jobs.back().get(), nullptr);
    }
    WaitUntil([&] { return gate.running == 3; });
    std::thread opener([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate.Open();
    });
    exitFlag = true; // as at shutdown: finished workers leave
    pool.reset();    // joins every worker; none is destroyed while it runs
    opener.join();
    exitFlag = false;
    EXPECT_EQ(done.Size(), 3u);
}

TEST(ThreadPool, TwoHundredJobsFromTwoThreadsEachRunOnce) {
    exitFlag = false;
    GateJob::Gate gate;
    gate.Open();
    platform::MessageQueue done;
    std::vector<std::unique_ptr<GateJob>> jobs;
    for (int i = 0; i < 200; ++i)
        jobs.push_back(std::make_unique<GateJob>(&gate, &done, i));
    {
        CThreadPool pool(5);
        std::thread a([&] {
            for (int i = 0; i < 200; i += 2)
                pool.Submit(jobs[static_cast<size_t>(i)].get(), nullptr);
        });
        std::thread b([&] {
            for (int i = 1; i < 200; i += 2)
                pool.Submit(jobs[static_cast<size_t>(i)].get(), nullptr);
        });
        a.join();
        b.join();
        WaitUntil([&] { return done.Size() == 200; });
    }
    std::multiset<int> ids;
    for (const auto& m : done.Drain())
        ids.insert(static_cast<int>(m.wParam));
    ASSERT_EQ(ids.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(ids.count(i), 1u) << i;
}
