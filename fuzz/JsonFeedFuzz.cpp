// A JSON Feed read, then one channel updated from it twice (the second update reads the page
// back and merges, as a changed document does). Property: reading never throws and a read
// feed names only web addresses without blanks or quotes for its home page and icon; each written
// page, parsed as a browser parses it, has one story block per shown item and nothing the page
// writer may not write (tests/support/PageAudit).
#include "FuzzSupport.h"
#include "PageAudit.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "engine/JsonFeedDocument.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string document = Input(data, size);
    const std::string url = "http://fuzz.example/feeds/a.json";
    JsonFeedDocument feed;
    if (feed.Read(document, url) == JsonFeedDocument::Status::kRead) {
        Check(feed.BuildDate().rfind("fnv1a64:", 0) == 0, "a build date of another kind",
              feed.BuildDate());
        for (const std::string* address : {&feed.HomePage(), &feed.Icon()})
            Check(address->empty() ||
                      (WebAddress::IsWeb(*address) &&
                       address->find_first_of(" \t\r\n\"'<>`") == std::string::npos),
                  "an address not for the web", *address);
    }

    const std::string folder = FuzzFolder() + "Data";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    CChannel channel;
    channel.SetId(3);
    channel.SetGroupId(1);
    channel.SetFileStem(L"rss3");
    channel.SetMaxItems(50);
    channel.SetUrl(platform::Utf8ToWide(url));
    for (int round = 0; round < 2; ++round) {
        ChannelUpdater updater(channel, platform::Utf8ToWide(folder), nullptr);
        if (!updater.LoadState())
            std::abort();
        if (updater.Process(document) == ChannelUpdater::kWritten) {
            // Nothing is deleted: the shown items are the state file's lines 1..n.
            std::vector<uint32_t> items;
            for (int n = 1; n <= updater.ShownCount(); ++n)
                items.push_back(static_cast<uint32_t>(n));
            const std::string page = ReadBytes(folder + "/rss3.html");
            const std::string failure = AuditPage(page, items);
            Check(failure.empty(), failure.c_str(), page);
        }
        channel.SetLastBuildDate("an older document");
    }
    return 0;
}
