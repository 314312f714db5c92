#include "reader/ChannelItems.h"

#include "catalogue/CatalogueModel.h"
#include "catalogue/Channel.h"
#include "catalogue/ChannelFiles.h"
#include "engine/ItemStateFile.h"
#include "engine/ItemText.h"
#include "engine/PageWriter.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"

namespace {

void Collect(const std::vector<CatalogueNode*>& nodes, std::vector<CChannel*>& out) {
    for (const CatalogueNode* node : nodes) {
        if (node->channel)
            out.push_back(node->channel);
        Collect(node->children, out);
    }
}

} // namespace

std::vector<ShownItem> ChannelItems::Read(const ChannelFiles& files,
                                          const std::function<bool(const StateRecord&)>& wanted) {
    std::vector<ShownItem> items;
    std::string state;
    if (!platform::ReadWholeFile(files.State(), state))
        return items;
    const std::vector<StateRecord> records = ItemStateFile::Parse(state);
    std::vector<uint32_t> picked;
    for (size_t i = 0; i < records.size(); ++i) {
        const StateRecord& r = records[i];
        if (r.usable && r.deletedMark != '1' && (!wanted || wanted(r)))
            picked.push_back(static_cast<uint32_t>(i + 1));
    }
    if (picked.empty())
        return items;
    platform::MappedFile page;
    if (!page.Open(files.Page()))
        return items;
    const std::string_view view = page.View();
    const bool native = view.compare(0, 3, "\xEF\xBB\xBF") != 0;
    auto texts = PageWriter::ReadBack(view, picked.back());
    for (uint32_t number : picked) {
        auto it = texts.find(number);
        if (it == texts.end())
            continue; // the page does not show it (older than the state file)
        const StateRecord& r = records[number - 1];
        ShownItem shown;
        shown.number = number;
        shown.read = r.readMark != '0'; // as the page's icon shows it
        shown.flagged = r.flagMark != '0';
        // Texts in UTF-8, whatever the page's encoding.
        auto text = [native](std::string& t) {
            return native ? platform::NativeToUtf8(t) : std::move(t);
        };
        PageItemTexts& t = it->second;
        shown.item =
            IndexedItem{r.link, text(t.title), text(t.description), text(t.author), text(t.date)};
        shown.linkValue = ItemText::LinkValue(r.link, native);
        items.push_back(std::move(shown));
    }
    return items;
}

std::vector<CChannel*> ChannelItems::InTreeOrder(const std::vector<CatalogueNode*>& nodes) {
    std::vector<CChannel*> channels;
    Collect(nodes, channels);
    return channels;
}

std::function<void(const ChannelItems::Emit&)>
ChannelItems::IndexSource(const CatalogueModel& model) {
    std::vector<std::pair<int64_t, ChannelFiles>> channels;
    for (CChannel* channel : InTreeOrder(model.TopLevel()))
        channels.emplace_back(static_cast<int32_t>(channel->GetId()), model.FilesOf(channel));
    return [channels = std::move(channels)](const Emit& emit) {
        for (const auto& [id, files] : channels) {
            IndexChange change;
            change.channelId = id;
            change.replaceAll = true;
            for (ShownItem& shown : Read(files))
                change.added.push_back(std::move(shown.item));
            emit(std::move(change));
        }
    };
}
