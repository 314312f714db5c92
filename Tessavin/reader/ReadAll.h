#pragma once

#include <string>
#include <vector>

class CChannel;
class CatalogueModel;
struct CatalogueNode;

// Marks every item of channels read. Each channel's state file and page are rewritten
// together under the rules of an item action: the state file held the while, marks written
// over in place (they keep their length), the state file first. Its counts follow at once,
// and an open page of it is loaded again. The marks go through to the disk: a single
// channel's files are flushed; over many channels one flush of the file system at the end
// carries them all (a flush per file would cost a disk write each).
class ReadAll {
public:
    enum class Result { kMarked, kUnchanged, kUpdating, kFailed };

    // One channel's files, flushed or not; the counts are the caller's.
    static Result MarkChannel(CChannel& channel, const std::wstring& dataFolder, bool flush = true);

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
