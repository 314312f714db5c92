#pragma once

#include "platform/CriticalSection.h"
#include "platform/Event.h"

#include <atomic>
#include <thread>

class CJob;
class CThreadPool;

// One thread of the pool: waits for a job, runs it, returns itself to the idle list.
class CWorkerThread {
public:
    CWorkerThread();
    virtual ~CWorkerThread();
    CWorkerThread(const CWorkerThread&) = delete;
    CWorkerThread& operator=(const CWorkerThread&) = delete;

    bool Start();
    // The worker loop (the body of the thread).
    virtual void Run();

    void SetPool(CThreadPool* pool);
    // Hands over a job and wakes the worker.
    void Assign(CJob* job, void* argument);
    // Asks the loop to leave and wakes it.
    void RequestStop();
    bool StopRequested() const;
    // Waits for the thread to end; true when it did within timeoutMs.
    bool WaitForExit(unsigned timeoutMs);
    // Waits as long as it takes, then joins the thread.
    void Join();

private:
    std::thread thread_;
    platform::Event exitEvent_;
    platform::Event wakeEvent_;
    platform::CriticalSection lock_; // guards pool_, job_, argument_
    CThreadPool* pool_ = nullptr;
    CJob* job_ = nullptr;
    void* argument_ = nullptr;
    std::atomic<bool> stop_{false};
};
