#include "engine/ThreadPool.h"

#include "engine/WorkerThread.h"
#include "platform/ScopedLock.h"

#include <algorithm>
#include <vector>

namespace {
unsigned LowMark(unsigned n) {
    return n > 10 ? n - 10 : 3;
}
} // namespace

CThreadPool::CThreadPool(unsigned threadNum)
    : maxBusy_(kInitialMaxBusy), lowIdleMark_(LowMark(threadNum)), highIdleMark_(threadNum + 10),
      baseCount_(threadNum) {
    Grow(threadNum);
}

CThreadPool::~CThreadPool() {
    std::vector<CWorkerThread*> workers;
    {
        // Waits for a shrink in progress; afterwards no worker shrinks the pool.
        platform::ScopedLock guard(listsLock_);
        stopping_ = true;
        workers.assign(all_.begin(), all_.end());
        all_.clear();
        idle_.clear();
    }
    for (CWorkerThread* worker : workers)
        worker->RequestStop();
    for (CWorkerThread* worker : workers) {
        // A worker that has not ended after 10 s is waited for; its download's own
        // time-outs bound the wait. It is never killed.
        worker->WaitForExit(kExitWaitMs);
        worker->Join();
        delete worker;
    }
    platform::ScopedLock guard(busyLock_);
    busy_.clear();
}

size_t CThreadPool::AllCount() {
    platform::ScopedLock guard(listsLock_);
    return all_.size();
}

size_t CThreadPool::IdleCount() {
    platform::ScopedLock guard(listsLock_);
    return idle_.size();
}

size_t CThreadPool::BusyCount() {
    platform::ScopedLock guard(busyLock_);
    return busy_.size();
}

void CThreadPool::SetThreadNum(unsigned threadNum) {
    lowIdleMark_ = LowMark(threadNum);
    highIdleMark_ = threadNum + 10;
    baseCount_ = threadNum;
    maxBusy_ = threadNum + 20;
}

void CThreadPool::Grow(unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        auto* worker = new CWorkerThread();
        worker->SetPool(this);
        // The thread runs before the worker is listed, so no one can hand it a job, shrink
        // it or join it before its thread exists.
        if (!worker->Start()) {
            delete worker;
            return;
        }
        platform::ScopedLock guard(listsLock_);
        if (stopping_) {
            delete worker; // joins the idle thread
            return;
        }
        all_.push_back(worker);
        idle_.push_back(worker);
    }
}

bool CThreadPool::Submit(CJob* job, void* argument) {
    for (;;) {
        while (BusyCount() >= maxBusy_) {
            if (ShuttingDown())
                return false;
            workerFreed_.WaitFor(100);
        }
        const long idle = static_cast<long>(IdleCount());
        if (idle < static_cast<long>(lowIdleMark_)) {
            const long all = static_cast<long>(AllCount());
            const long base = static_cast<long>(baseCount_);
            const long maxBusy = static_cast<long>(maxBusy_);
            long k = base - idle + all < maxBusy ? base - idle : maxBusy - all;
            if (k > 0)
                Grow(static_cast<unsigned>(k));
        }
        while (IdleCount() == 0) {
            // At shutdown finished workers leave instead of coming back: stop waiting.
            if (ShuttingDown())
                return false;
            workerReturned_.WaitFor(100);
        }
        CWorkerThread* worker = nullptr;
        {
            platform::ScopedLock guard(listsLock_);
            if (!idle_.empty()) {
                worker = idle_.front();
                idle_.pop_front();
            }
        }
        if (!worker)
            continue; // another submitter took it: wait for the next one
        {
            platform::ScopedLock guard(busyLock_);
            busy_.push_back(worker);
        }
        worker->SetPool(this);
        worker->Assign(job, argument);
        return true;
    }
}

void CThreadPool::ReturnToIdle(CWorkerThread* worker) {
    size_t idle;
    {
        platform::ScopedLock guard(listsLock_);
        if (stopping_)
            return;
        idle_.push_back(worker);
        idle = idle_.size();
    }
    {
        platform::ScopedLock guard(busyLock_);
        busy_.remove(worker);
    }
    workerReturned_.Set();
    workerFreed_.Set();
    if (idle > highIdleMark_ && idle > baseCount_)
        Shrink(static_cast<unsigned>(idle - baseCount_), worker);
}

void CThreadPool::Shrink(unsigned count, CWorkerThread* caller) {
    if (ShuttingDown() || count == 0)
        return;
    std::vector<CWorkerThread*> leaving;
    {
        platform::ScopedLock guard(listsLock_);
        // A worker that another shrink chose already does not choose in turn.
        if (stopping_ || caller->StopRequested())
            return;
        // Workers returning at the same time each ask to shrink; together they never take
        // the idle list below the base count.
        const size_t base = baseCount_;
        for (auto it = idle_.begin();
             it != idle_.end() && leaving.size() < count && idle_.size() > base;) {
            CWorkerThread* worker = *it;
            if (worker == caller) {
                ++it;
                continue;
            }
            it = idle_.erase(it);
            all_.remove(worker);
            worker->RequestStop();
            leaving.push_back(worker);
        }
    }
    // Joined outside the lock, so a leaving worker never waits for this one.
    for (CWorkerThread* worker : leaving) {
        worker->WaitForExit(kExitWaitMs);
        worker->Join();
        delete worker;
    }
}
