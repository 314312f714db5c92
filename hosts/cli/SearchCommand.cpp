#include "SearchCommand.h"

#include "Session.h"
#include "UsageError.h"
#include "catalogue/CatalogueModel.h"
#include "catalogue/Channel.h"
#include "reader/ViewPage.h"
#include "search/IndexText.h"
#include "search/ItemTokenizer.h"

#include <charconv>

std::string SearchCommand::TerminalLine(const std::string& html) {
    const std::string text = IndexText::FromHtml(html);
    std::string line;
    for (size_t i = 0, next = 0; i < text.size(); i = next) {
        const long cp = ItemTokenizer::Decode(text, i, next);
        if (cp <= 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            if (!line.empty() && line.back() != ' ')
                line.push_back(' ');
        } else {
            line.append(text, i, next - i);
        }
    }
    if (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

int SearchCommand::Run(Session& session, const std::vector<std::string>& args) {
    std::vector<std::string> words;
    auto options = Session::Options(args, 0, {"--channel", "--limit"}, &words);
    if (words.size() != 1)
        throw UsageError{"search needs one QUERY (quote several words)"};
    size_t limit = kDefaultLimit;
    if (options.count("--limit")) {
        const std::string& text = options["--limit"];
        auto parsed = std::from_chars(text.data(), text.data() + text.size(), limit);
        if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size() ||
            limit == 0 || limit > kMaxLimit)
            throw UsageError{"--limit needs a number from 1 to 1000"};
    }
    int64_t channelId = 0;
    if (options.count("--channel")) {
        CChannel* channel = session.ChannelArg(options["--channel"]);
        if (!channel)
            return session.Refuse("no such channel: " + options["--channel"]);
        channelId = static_cast<int32_t>(channel->GetId());
    }
    // A rebuild of the index (its first use, or after damage) is waited for.
    session.Index().WaitIdle();
    if (!session.Index().Ready())
        return session.Refuse("the search index cannot be used (see the log)");
    const std::vector<ViewEntry> found =
        ViewPage::Resolve(session.Model(), session.Index().Query(words[0], channelId, limit));
    for (const ViewEntry& e : found)
        session.Out() << "c" << e.channel->GetId() << " " << e.shown.number << " "
                      << TerminalLine(e.shown.item.title) << "\n";
    session.Out() << found.size() << " items found\n";
    return 0;
}
