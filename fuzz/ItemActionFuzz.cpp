// Any address handed to the item actions of a channel page: parsed, and applied to a
// page and state file of three items.
#include "FuzzSupport.h"
#include "catalogue/Channel.h"
#include "engine/ChannelUpdater.h"
#include "platform/CodePage.h"
#include "reader/ItemAction.h"

#include <unistd.h>

namespace {

const char kFeed[] = "<rss version=\"2.0\"><channel><lastBuildDate>d</lastBuildDate>"
                     "<item><title>one</title><link>http://a/1</link></item>"
                     "<item><title>two</title><link>http://a/2</link></item>"
                     "<item><title>three</title><link>http://a/3</link></item></channel></rss>";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string address = Input(data, size);
    ItemAction::Parse(address);
    const std::string folder = FuzzFolder() + "Data";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    CChannel channel;
    channel.SetId(5);
    channel.SetGroupId(2);
    channel.SetFileStem(L"rss5");
    {
        ChannelUpdater updater(channel, platform::Utf8ToWide(folder), nullptr);
        if (!updater.LoadState() || updater.Process(kFeed) != ChannelUpdater::kWritten)
            std::abort();
    }
    ItemAction::HandleItemAction(platform::Utf8ToWide(address), channel,
                                 platform::Utf8ToWide(folder), nullptr);
    return 0;
}
