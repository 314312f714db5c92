#include "engine/FeedFinder.h"

#include "engine/FeedDocument.h"
#include "engine/RssDocument.h"
#include "engine/UpDateXml.h"
#include "platform/CodePage.h"

namespace {

bool StartsAsJson(const std::string& document) {
    size_t i = document.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < document.size() && (document[i] == ' ' || document[i] == '\t' ||
                                   document[i] == '\n' || document[i] == '\r'))
        ++i;
    return i < document.size() && document[i] == '{';
}

} // namespace

bool FeedFinder::IsFeed(const std::string& document, const std::string& address) {
    if (StartsAsJson(document) || RssDocument(document).HasSupportedVersion())
        return true;
    FeedDocument feed;
    return feed.Read(document, address) != FeedDocument::Status::kNotAFeed;
}

FeedFinder::Result FeedFinder::Decide(const std::string& document, const std::string& address,
                                      const std::string& contentType) {
    Result result;
    if (IsFeed(document, address)) {
        result.outcome = Outcome::kFeed;
        return result;
    }
    result.feeds = FeedDiscovery::Find(document, address, contentType);
    result.outcome = result.feeds.empty() ? Outcome::kNoFeed : Outcome::kFeeds;
    return result;
}

FeedFinder::Result FeedFinder::Find(const std::string& address) const {
    CUpDateXml downloader;
    downloader.SetLimits(FeedDiscovery::kMaxPageBytes, 0);
    downloader.SetStopToken(stop_);
    // With a stop token the download heeds it (the import mode would not).
    const int got = downloader.DownLoadXmlbuf(platform::Utf8ToWide(address), stop_ ? 0 : 1);
    if (got == 1)
        return Decide(downloader.Buffer(), downloader.FinalAddress(), downloader.ContentType());
    Result result;
    result.outcome = got == 2 ? Outcome::kStopped : Outcome::kFailed;
    result.failure = downloader.FailureReason().empty() ? "failed" : downloader.FailureReason();
    return result;
}
