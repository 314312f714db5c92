#pragma once

#include "catalogue/FeedAddresses.h"
#include "engine/StopToken.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace platform {
class MessageTarget;
}

// The site icon searches of one catalogue, one at a time on a thread of its own (started
// with the first request): each runs IconFetcher, keeps what it found in the IconCache
// (the icon, or the record that there is none) and posts 11908 to the target; the owner
// then takes the results on its own thread.
//
// Locks: the queue lock guards the requests and results only and is a leaf; the search
// runs without it. Close stops a running download (within a second) and joins the thread.
class IconQueue {
public:
    struct Request {
        uint32_t channelId = 0;
        std::string feedAddress; // UTF-8
        FeedAddresses addresses;
    };
    struct Result {
        uint32_t channelId = 0;
        bool found = false;
        std::string icon; // the bytes, when found
    };

    IconQueue(const std::wstring& dataFolder, platform::MessageTarget* target);
    ~IconQueue();
    IconQueue(const IconQueue&) = delete;
    IconQueue& operator=(const IconQueue&) = delete;

    // False when the channel's search is queued or running already, or the queue is closed.
    bool Ask(Request request);
    std::vector<Result> TakeResults();
    void Close();

private:
    void Run();

    const std::wstring dataFolder_;
    platform::MessageTarget* target_;
    StopToken stop_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Request> requests_;
    std::vector<Result> results_;
    std::set<uint32_t> pending_; // queued or running
    bool closed_ = false;
    std::thread thread_;
};
