// The OPML import of a local file holding any bytes: whatever it keeps meets the channel
// dialogs' rules.
#include "FuzzSupport.h"
#include "catalogue/Channel.h"
#include "catalogue/DialogRules.h"
#include "catalogue/Group.h"
#include "opml/OpmlImport.h"
#include "platform/CodePage.h"

#include <cstdlib>
#include <unistd.h>

namespace {

bool ShowableName(const std::wstring& name) {
    return !name.empty() && name.size() <= DialogRules::kMaxText &&
           !DialogRules::IsBlankOnly(name) && !DialogRules::HasControlCharacter(name);
}

void Check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = FuzzFolder() + "list.opml";
    WriteBytes(path, Input(data, size));
    COpmlImport importer;
    importer.Import(platform::Utf8ToWide(path), 0, 1, 1);
    for (const auto& group : importer.Groups())
        Check(ShowableName(group->GetName()));
    for (const auto& channel : importer.Channels()) {
        Check(ShowableName(channel->GetName()));
        const std::wstring description = channel->GetDescription();
        Check(description.size() <= DialogRules::kMaxText &&
              !DialogRules::HasControlCharacter(description));
        const std::wstring url = channel->GetUrl();
        Check(url.size() <= DialogRules::kMaxText && DialogRules::IsHttpUrl(url));
        const uint32_t items = channel->GetMaxItems(), interval = channel->GetInterval();
        Check(items >= DialogRules::kMinItems && items <= DialogRules::kMaxItems);
        Check(interval >= DialogRules::kMinInterval && interval <= DialogRules::kMaxInterval);
    }
    return 0;
}
