#pragma once

#include <string>

class CChannel;

// How a channel's updates have gone lately, while they fail: since when (the first failed
// update after the last good one) and why (the latest failure's reason). It is kept beside
// the channel's page, as "<stem>.health", only while the channel fails, so that it
// survives a restart; the last good update is the channel's own lastUpdated.
class ChannelHealth {
public:
    bool Failed() const { return !failedSince_.empty(); }
    const std::string& FailedSince() const { return failedSince_; }
    const std::string& Reason() const { return reason_; }

    // An update ended: a failure at `now` with its reason, or a success (clears it all).
    // True when something changed.
    bool Record(bool failed, const std::string& reason, const std::string& now);

    // The file's text and back; a damaged file reads as no failure.
    std::string ToText() const;
    static ChannelHealth FromText(const std::string& text);

    // "HTTP 404 since 2026-12-06 10:00, last success 2026-12-01" (or "never updated").
    std::string Describe(const CChannel& channel) const;
    // The day of the channel's last good update ("2026-12-01"), empty when none.
    static std::string LastSuccess(const CChannel& channel);

private:
    std::string failedSince_;
    std::string reason_;
};
