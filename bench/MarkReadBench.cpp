// Mark all read over a large catalogue: 10,000 channels of 100 unread items each (100 groups
// of 100), each channel's state file and page rewritten by one mark of the whole catalogue.
// Reports the time for all of it and per 1,000 channels; then the same mark again, when
// nothing is left to change.
//
//   bench_mark_read [CHANNELS] [ITEMS]
#include "catalogue/CatalogueModel.h"
#include "catalogue/Channel.h"
#include "config/Config.h"
#include "config/Folders.h"
#include "engine/ItemStateFile.h"
#include "engine/PageWriter.h"
#include "opml/CatalogueImport.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "reader/ReadAll.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A channel's page and state file as an update writes them: `items` unread items.
void WriteChannel(CatalogueModel& model, CChannel* channel, int items) {
    PageWriter page(PageEncoding::kUtf8);
    std::string state;
    for (int n = 1; n <= items; ++n) {
        const std::string link = "http://example.com/" + std::to_string(channel->GetId()) +
                                 "/item-" + std::to_string(n) + ".html";
        PageItemTexts texts{"Item " + std::to_string(n) + " title \xE2\x80\x94 news",
                            "<p>\xE4\xB8\xAD\xE6\x96\x87 text with a <a href=\"" + link +
                                "\">link</a> and some more words of the item's text.</p>",
                            "author@example.com", "2026-12-06 10:00:00"};
        page.AppendItem(static_cast<uint32_t>(n), channel->GetGroupId(), channel->GetId(), link,
                        texts, false, false);
        ItemStateFile::AppendNewItemLine(state, link);
    }
    const ChannelFiles files = model.FilesOf(channel);
    const std::string written = page.Finish(static_cast<uint32_t>(items));
    platform::ReplaceFilesContent({{files.Page(), &written}, {files.State(), &state}}, false);
    channel->SetCounts(static_cast<uint32_t>(items), static_cast<uint32_t>(items));
}

} // namespace

int main(int argc, char** argv) {
    const int channels = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int items = argc > 2 ? std::atoi(argv[2]) : 100;
    const int groups = channels >= 100 ? 100 : 1;
    char pattern[] = "/tmp/tessavin-bench-mark.XXXXXX";
    const std::string app = std::string(mkdtemp(pattern)) + "/";
    std::filesystem::create_directories(app + "rss/RssUserCfg");
    SetAppDirectory(platform::Utf8ToWide(app));
    CConfig().Initialize(L"Quorvel.ini");
    std::string opml = "<opml version=\"1.0\"><body>";
    for (int g = 0; g < groups; ++g) {
        opml += "<outline kind=\"nkPath\" text=\"G" + std::to_string(g) + "\">";
        for (int c = 0; c < channels / groups; ++c)
            opml += "<outline kind=\"nkFeed\" text=\"C\" xmlUrl=\"http://127.0.0.1:9/" +
                    std::to_string(g) + "/" + std::to_string(c) + "\"/>";
        opml += "</outline>";
    }
    const std::string list = app + "list.opml";
    platform::ReplaceFileContent(platform::Utf8ToWide(list), opml + "</body></opml>");
    CatalogueModel model(nullptr);
    if (!model.Open() ||
        CatalogueImport(model, nullptr).Import(platform::Utf8ToWide(list), nullptr) == 0) {
        std::fprintf(stderr, "no catalogue\n");
        return 1;
    }
    const Clock::time_point filling = Clock::now();
    for (const auto& channel : model.Channels())
        WriteChannel(model, channel.get(), items);
    std::printf("catalogue: %zu channels x %d items written in %.1f s\n", model.Channels().size(),
                items, Seconds(filling));

    const Clock::time_point start = Clock::now();
    const ReadAll::Report report = ReadAll::MarkNode(model, nullptr);
    const double all = Seconds(start);
    std::printf(
        "mark all read: %zu of %zu channels marked in %.3f s, %.1f ms per 1,000 "
        "channels (state file and page written over in place, one flush of the file system)\n",
        report.marked, report.channels, all, all * 1000 * 1000 / report.channels);
    const Clock::time_point again = Clock::now();
    const ReadAll::Report none = ReadAll::MarkNode(model, nullptr);
    std::printf("again, nothing to change: %zu marked in %.3f s\n", none.marked, Seconds(again));
    model.Close();
    std::filesystem::remove_all(app);
    return report.marked == report.channels && report.refused.empty() ? 0 : 1;
}
