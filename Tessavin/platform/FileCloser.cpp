#include "platform/FileCloser.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

// The waiting descriptors and the thread that closes them. The lock is a leaf: nothing
// else is taken while it is held, and no descriptor is closed under it.
class Closer {
public:
    static const size_t kMaxWaiting = 64;

    ~Closer() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            stop_ = true;
        }
        wake_.notify_one();
        if (thread_.joinable())
            thread_.join();
        for (int fd : waiting_)
            ::close(fd);
    }
    void Add(int fd) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (!stop_ && waiting_.size() < kMaxWaiting) {
                if (!thread_.joinable())
                    thread_ = std::thread([this] { Run(); });
                waiting_.push_back(fd);
                wake_.notify_one();
                return;
            }
        }
        ::close(fd);
    }

private:
    void Run() {
        std::vector<int> batch;
        for (;;) {
            {
                std::unique_lock<std::mutex> guard(lock_);
                wake_.wait(guard, [this] { return stop_ || !waiting_.empty(); });
                if (waiting_.empty())
                    return; // stopping, nothing left
                batch.swap(waiting_);
            }
            for (int fd : batch)
                ::close(fd);
            batch.clear();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    std::vector<int> waiting_;
    bool stop_ = false;
    std::thread thread_;
};

Closer& Shared() {
    static Closer closer;
    return closer;
}

} // namespace

void FileCloser::Close(int fd) {
    if (fd >= 0)
        Shared().Add(fd);
}

} // namespace platform
