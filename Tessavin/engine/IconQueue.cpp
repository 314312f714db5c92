#include "engine/IconQueue.h"

#include "catalogue/IconCache.h"
#include "config/LogFile.h"
#include "engine/IconFetcher.h"
#include "engine/Messages.h"
#include "platform/MessageTarget.h"

IconQueue::IconQueue(const std::wstring& dataFolder, platform::MessageTarget* target)
    : dataFolder_(dataFolder), target_(target) {}

IconQueue::~IconQueue() {
    Close();
}

void IconQueue::Close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        requests_.clear();
    }
    stop_.Shutdown();
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

bool IconQueue::Ask(Request request) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_ || !pending_.insert(request.channelId).second)
            return false;
        requests_.push_back(std::move(request));
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
    }
    wake_.notify_one();
    return true;
}

std::vector<IconQueue::Result> IconQueue::TakeResults() {
    std::vector<Result> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(results_);
    return taken;
}

void IconQueue::Run() {
    IconCache cache(dataFolder_);
    for (;;) {
        Request request;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return closed_ || !requests_.empty(); });
            if (closed_)
                return;
            request = std::move(requests_.front());
            requests_.pop_front();
        }
        IconFetcher fetcher(&stop_);
        Result result;
        result.channelId = request.channelId;
        result.found = fetcher.Fetch(request.feedAddress, request.addresses, result.icon);
        if (stop_.Any())
            return; // a search cut short says nothing about the site
        const bool kept = result.found ? cache.Store(result.channelId, result.icon)
                                       : cache.StoreNone(result.channelId);
        if (!kept)
            LogPrintf(L"Failed to keep the icon of channel %u", result.channelId);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pending_.erase(result.channelId);
            results_.push_back(std::move(result));
        }
        if (target_)
            target_->Post(kMsgIconFetched, 0, 0);
    }
}
