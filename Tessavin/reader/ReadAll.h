#pragma once

#include <string>
#include <vector>

class CChannel;
class CatalogueModel;
struct CatalogueNode;

// Marks every item of channels read. Each channel's state file and page are rewritten
// together (each file replaced whole and flushed, the state file held the while, as an item
// action holds it), its counts follow at once, and an open page of it is loaded again.
class ReadAll {
public:
    enum class Result { kMarked, kUnchanged, kUpdating, kFailed };

    // One channel's files; the counts are the caller's.
    static Result MarkChannel(CChannel& channel, const std::wstring& dataFolder);

    struct Refusal {
        CChannel* channel;
        Result result; // kUpdating or kFailed
    };
    struct Report {
        size_t marked = 0;   // channels whose files changed
        size_t channels = 0; // channels looked at
        std::vector<Refusal> refused;
    };
    // Every channel under the node (a channel's node: that channel; null: the whole
    // catalogue), in tree order.
    static Report MarkNode(CatalogueModel& model, CatalogueNode* node);

    // Why a channel was refused, in a few English words.
    static const char* Reason(Result result);
    // The page's marks of every item shown read, in place; true when any changed.
    static bool PatchPage(std::string& page);
};
