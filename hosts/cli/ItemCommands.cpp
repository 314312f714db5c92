#include "ItemCommands.h"

#include "Session.h"
#include "UsageError.h"
#include "catalogue/CatalogueModel.h"
#include "engine/ItemStateFile.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "reader/ItemAction.h"
#include "reader/ReadAll.h"

#include <charconv>
#include <filesystem>

namespace {

// The mark to set: its place in the state line and its value.
struct Wanted {
    const char* word;
    ItemCall::Action action;
    char mark;
};

const Wanted kWanted[] = {{"read", ItemCall::kRead, '1'},
                          {"unread", ItemCall::kRead, '0'},
                          {"flag", ItemCall::kFlag, '1'},
                          {"unflag", ItemCall::kFlag, '0'},
                          {"delete", ItemCall::kDelete, '1'}};

// An item number: digits only, fitting 32 bits.
uint32_t ItemNumber(const std::string& n) {
    uint32_t item = 0;
    auto parsed = std::from_chars(n.data(), n.data() + n.size(), item);
    if (n.empty() || n[0] == '+' || parsed.ec != std::errc() || parsed.ptr != n.data() + n.size())
        throw UsageError{"not an item number: " + n};
    return item;
}

const Wanted& WantedMark(const std::string& word) {
    for (const Wanted& w : kWanted)
        if (word == w.word)
            return w;
    throw UsageError{"mark takes read, unread, flag, unflag or delete"};
}

bool IsSet(const std::string& marks, const Wanted& wanted) {
    return (marks[wanted.action] == '1') == (wanted.mark == '1');
}

} // namespace

int ItemCommands::Page(Session& session, const Args& args) {
    if (args.size() != 1)
        throw UsageError{"page needs a channel"};
    CChannel* channel = session.ChannelArg(args[0]);
    if (!channel)
        return session.Refuse("no such channel: " + args[0]);
    const std::wstring path = session.Model().FilesOf(channel).Page();
    if (!platform::FileExists(path))
        return session.Refuse("the channel has no page yet; update it first");
    session.Out()
        << std::filesystem::absolute(platform::WideToUtf8(path)).lexically_normal().string()
        << "\n";
    return 0;
}

int ItemCommands::Mark(Session& session, const Args& args) {
    if (args.size() != 3)
        throw UsageError{"mark needs cID, N and read|unread|flag|unflag|delete"};
    CChannel* channel = session.ChannelArg(args[0]);
    if (!channel)
        return session.Refuse("no such channel: " + args[0]);
    const std::string& n = args[1];
    const uint32_t item = ItemNumber(n);
    const Wanted& wanted = WantedMark(args[2]);
    const std::string c = std::to_string(static_cast<int32_t>(channel->GetId()));
    std::string marks;
    if (!StateMarks(session, channel, item, marks))
        return session.Refuse("channel c" + c + " has no item " + n);
    if (marks[ItemCall::kDelete] == '1')
        return session.Refuse("item " + n + " of channel c" + c + " is deleted");
    if (IsSet(marks, wanted)) {
        session.Out() << Session::Line(channel) << "\n"; // already so
        return 0;
    }
    // As a page's call: an item number of at most 11 characters and at most 2^31 - 1 (one
    // written otherwise is not applied, and the check below refuses it).
    if (n.size() <= 11 && item <= 0x7FFFFFFF) {
        ItemCall call;
        call.action = wanted.action;
        call.groupId = static_cast<int32_t>(channel->GetGroupId());
        call.channelId = static_cast<int32_t>(channel->GetId());
        call.item = item;
        ItemAction::Apply(call, *channel, session.Model().DataFolder(), session.View(), nullptr,
                          session.Model().Index());
    }
    session.HandleViewMessages();
    if (!StateMarks(session, channel, item, marks) || !IsSet(marks, wanted))
        return session.Refuse("the state file of channel c" + c +
                              " could not be written (is it read-only, or is the channel "
                              "updating?)");
    session.Out() << Session::Line(channel) << "\n";
    return 0;
}

int ItemCommands::MarkRead(Session& session, const Args& args) {
    if (args.empty())
        throw UsageError{"mark-read needs --all or nodes"};
    std::vector<CatalogueNode*> nodes;
    if (args.size() == 1 && args[0] == "--all") {
        nodes.push_back(nullptr);
    } else {
        for (const std::string& a : args) {
            CGroup* group;
            CChannel* channel;
            if (!session.ParseNode(a, &group, &channel))
                return session.Refuse("no such node: " + a);
            nodes.push_back(group ? CatalogueModel::NodeOf(group)
                                  : CatalogueModel::NodeOf(channel));
        }
    }
    int status = 0;
    for (CatalogueNode* node : nodes) {
        const ReadAll::Report report = ReadAll::MarkNode(session.Model(), node);
        for (const ReadAll::Refusal& refusal : report.refused)
            status = session.Refuse("c" + std::to_string(refusal.channel->GetId()) +
                                    " not marked read: " + ReadAll::Reason(refusal.result));
        session.Out() << report.marked << " of " << report.channels << " channels marked read\n";
    }
    session.Model().FlushSaves();
    return status;
}

// The four bytes from the start of line `item` of the state file; false when the file ends
// before them.
bool ItemCommands::StateMarks(Session& session, CChannel* channel, uint32_t item,
                              std::string& marks) {
    std::string state;
    platform::ReadWholeFile(session.Model().FilesOf(channel).State(), state);
    size_t start = 0, end = 0;
    if (!ItemStateFile::FindLine(state, item, start, end) || start + 4 > state.size())
        return false;
    marks = state.substr(start, 4);
    return true;
}
