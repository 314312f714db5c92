// One channel updated from a document in memory (RSS 2.0, or Atom/RSS 1.0/0.9x), twice:
// the first update writes the page and state file, the second reads the page back and
// merges (as a changed document does).
#include "FuzzSupport.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "engine/RssDocument.h"
#include "platform/CodePage.h"

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string folder = FuzzFolder() + "Data";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string document = Input(data, size);
    CChannel channel;
    channel.SetId(3);
    channel.SetGroupId(1);
    channel.SetFileStem(L"rss3");
    channel.SetMaxItems(50);
    channel.SetUrl(L"http://fuzz.example/feeds/a.xml"); // relative links resolve against it
    for (int round = 0; round < 2; ++round) {
        ChannelUpdater updater(channel, platform::Utf8ToWide(folder), nullptr);
        if (!updater.LoadState())
            std::abort();
        updater.Process(document);
        channel.SetLastBuildDate("an older document");
    }
    return 0;
}
