#pragma once

#include "platform/CriticalSection.h"
#include "platform/Event.h"

#include <atomic>
#include <list>

class CJob;
class CWorkerThread;

// Worker threads around ThreadNum: a submission takes an idle worker (there is no queue),
// the pool grows when fewer than the low mark are idle and shrinks when more than the high
// mark are. Every submitted job runs exactly once.
class CThreadPool {
public:
    static const unsigned kInitialMaxBusy = 30;
    static const unsigned kExitWaitMs = 10000;

    explicit CThreadPool(unsigned threadNum);
    ~CThreadPool(); // stops every worker and waits for it

    // Hands the job to an idle worker; waits while max-busy workers are busy. False only
    // when the pool shuts down before a worker could take the job.
    bool Submit(CJob* job, void* argument);
    // The module shuts down: no job is taken any more, and workers that finish leave
    // instead of coming back. The destructor then waits for them.
    void Shutdown() { shuttingDown_.store(true); }
    bool ShuttingDown() const { return shuttingDown_.load(); }
    void SetThreadNum(unsigned threadNum);

    // Called by a worker when its job is done: back to the idle list, then shrink when too
    // many workers are idle.
    void ReturnToIdle(CWorkerThread* worker);

    unsigned MaxBusy() const { return maxBusy_; }
    unsigned LowIdleMark() const { return lowIdleMark_; }
    unsigned HighIdleMark() const { return highIdleMark_; }
    unsigned BaseCount() const { return baseCount_; }
    size_t AllCount();
    size_t IdleCount();
    size_t BusyCount();

private:
    void Grow(unsigned count);
    void Shrink(unsigned count, CWorkerThread* caller);

    std::atomic<bool> shuttingDown_{false};
    std::atomic<unsigned> maxBusy_;
    std::atomic<unsigned> lowIdleMark_;
    std::atomic<unsigned> highIdleMark_;
    std::atomic<unsigned> baseCount_;
    platform::CriticalSection busyLock_;
    platform::CriticalSection listsLock_;
    platform::Event workerReturned_;
    platform::Event workerFreed_;
    std::list<CWorkerThread*> all_;
    std::list<CWorkerThread*> busy_;
    std::list<CWorkerThread*> idle_;
    bool stopping_ = false; // under listsLock_
};
