#include "engine/WorkerThread.h"

#include "engine/Job.h"
#include "engine/ThreadPool.h"
#include "platform/ScopedLock.h"

#include <system_error>

CWorkerThread::CWorkerThread() = default;

CWorkerThread::~CWorkerThread() {
    // Never destroyed while its thread runs.
    if (thread_.joinable()) {
        RequestStop();
        thread_.join();
    }
}

bool CWorkerThread::Start() {
    try {
        thread_ = std::thread([this] {
            Run();
            exitEvent_.Set();
        });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void CWorkerThread::SetPool(CThreadPool* pool) {
    platform::ScopedLock guard(lock_);
    pool_ = pool;
}

void CWorkerThread::Assign(CJob* job, void* argument) {
    {
        platform::ScopedLock guard(lock_);
        job_ = job;
        argument_ = argument;
    }
    wakeEvent_.Set();
}

void CWorkerThread::RequestStop() {
    stop_.store(true);
    wakeEvent_.Set();
}

bool CWorkerThread::WaitForExit(unsigned timeoutMs) {
    return exitEvent_.WaitFor(timeoutMs);
}

void CWorkerThread::Join() {
    if (thread_.joinable())
        thread_.join();
}

void CWorkerThread::Run() {
    for (;;) {
        CJob* job;
        void* argument;
        CThreadPool* pool;
        {
            platform::ScopedLock guard(lock_);
            job = job_;
        }
        if (!job && !stop_.load())
            wakeEvent_.Wait();
        if (stop_.load())
            break;
        {
            platform::ScopedLock guard(lock_);
            job = job_;
            argument = argument_;
            pool = pool_;
        }
        if (!job)
            continue;       // woken without work
        job->Run(argument); // the job may be gone once it has posted its end
        {
            platform::ScopedLock guard(lock_);
            job_ = nullptr;
            argument_ = nullptr;
        }
        if (pool && pool->ShuttingDown())
            break;
        if (pool)
            pool->ReturnToIdle(this);
        if (stop_.load())
            break;
    }
}

bool CWorkerThread::StopRequested() const {
    return stop_.load();
}
