#include "FoundFeeds.h"

#include "SearchCommand.h"
#include "Session.h"
#include "engine/FeedFinder.h"
#include "engine/HtmlSanitizer.h"

std::string FoundFeeds::Line(const DiscoveredFeed& feed) {
    const std::string url = SearchCommand::TerminalLine(HtmlSanitizer::Escape(feed.url));
    const std::string title = SearchCommand::TerminalLine(HtmlSanitizer::Escape(feed.title));
    return title.empty() ? url : url + " \"" + title + "\"";
}

int FoundFeeds::List(Session& session, const std::string& url) {
    const FeedFinder::Result found = FeedFinder().Find(url);
    switch (found.outcome) {
    case FeedFinder::Outcome::kFeed:
        session.Out() << Line({"", url, ""}) << "\n";
        return 0;
    case FeedFinder::Outcome::kFeeds:
        for (const DiscoveredFeed& feed : found.feeds)
            session.Out() << Line(feed) << "\n";
        return 0;
    case FeedFinder::Outcome::kNoFeed:
        return session.Refuse(FeedFinder::kNoFeedFound);
    default:
        return session.Refuse("cannot read " + url + ": " + found.failure);
    }
}
