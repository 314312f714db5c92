#pragma once

#include "catalogue/FeedAddresses.h"
#include "engine/StopToken.h"

#include <string>
#include <vector>

// Looks for a channel's site icon, trying in order: the feed's own icon address; the icons
// the head of the site's page links to (the first `<link rel="icon">` or "shortcut icon",
// then the first "apple-touch-icon", resolved against the page's `<base>`); `/favicon.ico`
// of the site's host, else of the feed's. Each download goes through CUpDateXml (proxy, time-out,
// https rules), the page capped at 1 MB and an icon at IconFormat::kMaxBytes; an icon counts only
// when IconFormat accepts its bytes. Runs on a worker thread.
class IconFetcher {
public:
    static const size_t kMaxPageBytes = 1u << 20;

    // stop: ends a running download (may be null).
    explicit IconFetcher(const StopToken* stop) : stop_(stop) {}

    // feedAddress: the channel's address (UTF-8). True with the icon's bytes when one counted.
    bool Fetch(const std::string& feedAddress, const FeedAddresses& addresses, std::string& icon);
    // The addresses that were downloaded, in order (for the log and tests).
    const std::vector<std::string>& Tried() const { return tried_; }

    // The icon addresses a page's head links to, best first (at most one "icon" and one
    // "apple-touch-icon"), resolved against its <base> and its own address; http and https
    // only.
    static std::vector<std::string> PageIcons(const std::string& html,
                                              const std::string& pageAddress);

private:
    // One download; false when it failed, was stopped or the address was tried already.
    bool Download(const std::string& address, size_t maxBytes, std::string& body,
                  std::string* finalAddress);
    bool TryIcon(const std::string& address, std::string& icon);

    const StopToken* stop_;
    std::vector<std::string> tried_;
};
