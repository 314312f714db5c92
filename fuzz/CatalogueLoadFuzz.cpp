// Channel.dat and Group.dat holding any bytes: the load either gives records or fails
// without writing over the file.
#include "FuzzSupport.h"
#include "catalogue/CatalogueFiles.h"

#include <algorithm>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string common = FuzzFolder() + "userdata/rss/ReadRecord/Common/";
    std::filesystem::remove_all(common);
    std::filesystem::create_directories(FuzzFolder() + "userdata/rss/ReadRecord/Data");
    const std::string bytes = Input(data, size);
    // Two bytes give the length of Channel.dat; the rest after it is Group.dat.
    const size_t split =
        size < 2 ? 0 : std::min<size_t>(size - 2, static_cast<size_t>(data[0] | data[1] << 8));
    const std::string rest = size < 2 ? std::string() : bytes.substr(2);
    WriteBytes(common + "Channel.dat", rest.substr(0, split));
    WriteBytes(common + "Group.dat", rest.substr(split));
    CatalogueFiles files;
    if (!files.OpenCatalogueFiles())
        std::abort();
    ChannelList channels;
    GroupList groups;
    files.LoadChannels(channels);
    files.LoadGroups(groups);
    return 0;
}
