#include "catalogue/ChannelHealth.h"

#include "catalogue/Channel.h"
#include "platform/CodePage.h"

namespace {

const char kSince[] = "FailedSince=";
const char kReason[] = "Reason=";

// One line of printable text, at most 200 bytes: a reason comes from servers and libraries.
std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (out.size() >= 200)
            break;
        out.push_back(static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c);
    }
    return out;
}

} // namespace

bool ChannelHealth::Record(bool failed, const std::string& reason, const std::string& now) {
    if (!failed) {
        const bool was = Failed();
        failedSince_.clear();
        reason_.clear();
        return was;
    }
    const std::string why = OneLine(reason.empty() ? "failed" : reason);
    const bool changed = !Failed() || why != reason_;
    if (!Failed())
        failedSince_ = OneLine(now);
    reason_ = why;
    return changed;
}

std::string ChannelHealth::ToText() const {
    return std::string(kSince) + failedSince_ + "\n" + kReason + reason_ + "\n";
}

ChannelHealth ChannelHealth::FromText(const std::string& text) {
    ChannelHealth health;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        if (line.compare(0, sizeof kSince - 1, kSince) == 0)
            health.failedSince_ = OneLine(line.substr(sizeof kSince - 1));
        else if (line.compare(0, sizeof kReason - 1, kReason) == 0)
            health.reason_ = OneLine(line.substr(sizeof kReason - 1));
        pos = end + 1;
    }
    if (health.failedSince_.empty())
        health.reason_.clear();
    return health;
}

std::string ChannelHealth::LastSuccess(const CChannel& channel) {
    return platform::WideToUtf8(channel.GetLastUpdated()).substr(0, 10);
}

std::string ChannelHealth::Describe(const CChannel& channel) const {
    if (!Failed())
        return std::string();
    const std::string last = LastSuccess(channel);
    return reason_ + " since " + failedSince_ +
           (last.empty() ? ", never updated" : ", last success " + last);
}
