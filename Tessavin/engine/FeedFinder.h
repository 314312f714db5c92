#pragma once

#include "engine/FeedDiscovery.h"

#include <string>
#include <vector>

class StopToken;

// What an address that a user gives for a channel stands for: a feed, a web page that names
// feeds, a page that names none, or nothing that could be downloaded. The address is
// downloaded under the download rules (time-out, attempts, proxy, https only when allowed)
// with a page's size limit.
class FeedFinder {
public:
    static constexpr const char* kNoFeedFound = "no feed found on this page";

    enum class Outcome {
        kFeed,    // the address is a feed itself
        kFeeds,   // a page naming the feeds
        kNoFeed,  // a page naming none
        kFailed,  // the download failed (failure says why)
        kStopped, // the stop token asked the download to end
    };
    struct Result {
        Outcome outcome = Outcome::kFailed;
        std::vector<DiscoveredFeed> feeds; // of kFeeds
        std::string failure;               // of kFailed: the downloader's reason
    };

    // stop: ends a running download within a second (null: none).
    explicit FeedFinder(const StopToken* stop = nullptr) : stop_(stop) {}
    // Downloads the address (UTF-8) and decides.
    Result Find(const std::string& address) const;
    // What a downloaded document stands for. address: where it came from, after redirects
    // (relative feed links resolve against it); contentType: the response's Content-Type.
    static Result Decide(const std::string& document, const std::string& address,
                         const std::string& contentType = std::string());
    // A document that the feed readers take: RSS 2.0, Atom, RSS 1.0/0.9x, or a JSON Feed (its
    // first byte after a byte-order mark and blanks is '{').
    static bool IsFeed(const std::string& document, const std::string& address);

private:
    const StopToken* stop_;
};
