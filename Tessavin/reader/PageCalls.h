#pragma once

#include <cstdint>
#include <deque>
#include <string>

// A call of a channel page: what the page's link says, and the link of the item the page
// showed at that number (when the page named it).
struct PageCall {
    std::string call;
    bool namesItem = false;
    std::string itemLink;
};

// The calls that one channel page posts to the reader, for the load of the page the reader
// made. Each load gets a token of its own, which only the reader's script in that load
// holds; a message is "<token> <scroll> <page> <item> <call>", where <item> is "-" or "="
// and the item's link percent-encoded (an empty call only tells where the reader is). Messages of
// another load are ignored; calls are queued and taken one at a time, at most kBurst at once and
// kPerSecond after that. A refusal (over the rate, a full queue, an action the files refused) asks
// for the page to be loaded again, once per load.
class PageCalls {
public:
    static const size_t kMaxQueued = 64;
    static const int kBurst = 20;
    static const int kPerSecond = 10;

    enum class Result { kQueued, kNote, kRefused, kIgnored };

    // A new load: a new token; what the last one queued is dropped.
    const std::string& NewLoad();
    const std::string& Token() const { return token_; }

    Result Receive(const std::string& message, uint64_t nowMs);
    // The next queued call; false when there is none.
    bool Next(PageCall& call);
    bool Empty() const { return queue_.empty(); }

    // The call at hand was refused by the files: the page shows what they do not.
    void Refuse() { reloadWanted_ = true; }
    // True once per load after a refusal: the page is to be loaded again.
    bool TakeReload();

    // Where the reader was, as the page's latest message said.
    long Scroll() const { return scroll_; }
    int PageIndex() const { return pageIndex_; }

private:
    std::string token_;
    std::deque<PageCall> queue_;
    double allowance_ = kBurst;
    uint64_t lastMs_ = 0;
    bool reloadWanted_ = false;
    bool reloadDone_ = false;
    long scroll_ = 0;
    int pageIndex_ = 0;
};
