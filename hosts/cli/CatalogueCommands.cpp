#include "CatalogueCommands.h"

#include "FoundFeeds.h"
#include "Session.h"
#include "UsageError.h"
#include "catalogue/CatalogueModel.h"
#include "catalogue/DialogRules.h"
#include "engine/FeedFinder.h"
#include "platform/CodePage.h"
#include "update/UpdateScheduler.h"

namespace {

std::string Utf8(const std::wstring& text) {
    return platform::WideToUtf8(text);
}
std::wstring Wide(const std::string& text) {
    return platform::Utf8ToWide(text);
}

} // namespace

int CatalogueCommands::List(Session& session, const Args&) {
    PrintTree(session, session.Model().TopLevel(), 0);
    return 0;
}

void CatalogueCommands::PrintTree(Session& session, const std::vector<CatalogueNode*>& nodes,
                                  int depth) {
    std::ostream& out = session.Out();
    for (CatalogueNode* node : nodes) {
        out << std::string(static_cast<size_t>(depth) * 2, ' ');
        if (node->group) {
            out << "[g" << node->group->GetId() << "] " << Utf8(node->group->GetName()) << "\n";
            PrintTree(session, node->children, depth + 1);
        } else {
            // A channel whose updates fail says why and since when.
            const ChannelHealth* health = session.Model().HealthOf(node->channel);
            out << Session::Line(node->channel)
                << (health ? "  failed: " + health->Describe(*node->channel) : std::string())
                << "\n";
        }
    }
}

CatalogueNode* CatalogueCommands::NodeOf(CGroup* group, CChannel* channel) {
    return group ? CatalogueModel::NodeOf(group) : CatalogueModel::NodeOf(channel);
}

int CatalogueCommands::AddGroup(Session& session, const Args& args) {
    std::vector<std::string> positional;
    auto options = Session::Options(args, 0, {"--parent"}, &positional);
    if (positional.size() != 1)
        throw UsageError{"add-group needs a NAME"};
    CGroup* parent = nullptr;
    if (options.count("--parent") && !(parent = session.GroupArg(options["--parent"])))
        return session.Refuse("no such group: " + options["--parent"]);
    const std::wstring name = Wide(positional[0]);
    if (!DialogRules::AddGroup(name).ok)
        return session.Refuse("a group name has 1 to 260 characters, not only blanks and no "
                              "control characters");
    CGroup* group = session.Model().AddGroup(parent, name);
    if (!group)
        return session.Refuse("no group ids are left");
    session.Out() << "[g" << group->GetId() << "] " << Utf8(group->GetName()) << "\n";
    return 0;
}

int CatalogueCommands::AddChannel(Session& session, const Args& args) {
    // The one option without a value.
    Args rest;
    bool listFeeds = false;
    for (const std::string& a : args)
        (a == "--list-feeds" ? listFeeds = true : (rest.push_back(a), false));
    std::vector<std::string> positional;
    auto options = Session::Options(rest, 0, {"--name", "--description", "--group"}, &positional);
    if (listFeeds) {
        if (positional.size() != 1 || !options.empty())
            throw UsageError{"add-channel --list-feeds needs a URL and nothing else"};
        return FoundFeeds::List(session, positional[0]);
    }
    if (positional.size() != 1 || !options.count("--name"))
        throw UsageError{"add-channel needs a URL and --name"};
    CGroup* parent = nullptr;
    if (options.count("--group") && !(parent = session.GroupArg(options["--group"])))
        return session.Refuse("no such group: " + options["--group"]);
    CatalogueModel& model = session.Model();
    const std::wstring name = Wide(options["--name"]);
    const std::wstring description = Wide(options["--description"]);
    std::wstring url = Wide(positional[0]);
    auto check = [&] {
        return DialogRules::AddChannel(
            name, description, url, /*verify=*/false,
            [&model](const std::wstring& a) { return model.IsAddressUnique(a); });
    };
    RuleResult rule = check();
    // The address of a web page stands for the first feed it names; an address that cannot
    // be read, or a page that names none, is added as given (its update says why it fails).
    if (rule.ok && DialogRules::IsHttpUrl(url)) {
        const FeedFinder::Result found = FeedFinder().Find(positional[0]);
        if (found.outcome == FeedFinder::Outcome::kFeeds) {
            session.Out() << "found feed: " << FoundFeeds::Line(found.feeds.front()) << "\n";
            url = Wide(found.feeds.front().url);
            rule = check();
        } else if (found.outcome == FeedFinder::Outcome::kNoFeed) {
            session.Refuse(std::string(FeedFinder::kNoFeedFound) +
                           "; the address is added as given");
        }
    }
    if (!rule.ok)
        return rule.key.empty() ? session.Refuse("refused")
                                : session.RefuseKey(rule.key, Utf8(rule.key));
    CChannel* channel = model.AddChannel(parent, name, description, url);
    if (!channel)
        return session.Refuse("no channel ids are left");
    session.Updates().UpdateChannel(channel);
    session.WaitForUpdates(1); // adding a channel starts its first update
    session.Out() << Session::Line(channel) << "\n";
    auto results = session.Observer().Results();
    auto it = results.find(channel->GetId());
    if (it != results.end() && it->second.outcome == UpdateOutcome::kFailed)
        return session.Refuse("c" + std::to_string(channel->GetId()) +
                              " was added, but its first update failed (" + it->second.reason +
                              ")");
    return 0;
}

int CatalogueCommands::Rename(Session& session, const Args& args) {
    if (args.size() != 2)
        throw UsageError{"rename needs NODE and NAME"};
    CGroup* group;
    CChannel* channel;
    if (!session.ParseNode(args[0], &group, &channel))
        return session.Refuse("no such node: " + args[0]);
    const std::wstring name = Wide(args[1]);
    if (!DialogRules::Rename(name).ok)
        return session.Refuse("a name has 1 to 260 characters, not only blanks and no control "
                              "characters");
    session.Model().Rename(NodeOf(group, channel), name);
    return 0;
}

int CatalogueCommands::Set(Session& session, const Args& args) {
    if (args.empty())
        throw UsageError{"set needs a channel"};
    auto options = Session::Options(
        args, 1, {"--name", "--description", "--url", "--max-items", "--interval"});
    CChannel* channel = session.ChannelArg(args[0]);
    if (!channel)
        return session.Refuse("no such channel: " + args[0]);
    // Only the values given are checked: a stored value outside the dialog's ranges (from
    // an imported list) stays as it is and does not block a change of another value.
    auto given = [&options](const char* name) { return options.count(name) != 0; };
    ChannelProperties check;
    check.name = given("--name") ? Wide(options["--name"]) : L"x";
    check.description = given("--description") ? Wide(options["--description"]) : L"";
    check.url = given("--url") ? Wide(options["--url"]) : L"http://unchanged/";
    check.maxItemsText = given("--max-items") ? Wide(options["--max-items"]) : L"100";
    check.intervalText = given("--interval") ? Wide(options["--interval"]) : L"60";
    CatalogueModel& model = session.Model();
    const RuleResult rule = DialogRules::Properties(
        check, given("--url") ? channel->GetUrl() : check.url,
        [&model](const std::wstring& a) { return model.IsAddressUnique(a); });
    if (!rule.ok)
        return session.RefuseKey(rule.key, Utf8(rule.key));
    if (channel->IsUpdating())
        return session.Refuse("the channel is being updated");
    CatalogueModel::PropertyValues v;
    v.name = given("--name") ? check.name : channel->GetName();
    v.description = given("--description") ? check.description : channel->GetDescription();
    v.url = given("--url") ? check.url : channel->GetUrl();
    v.maxItems =
        given("--max-items") ? DialogRules::Number(check.maxItemsText) : channel->GetMaxItems();
    v.interval =
        given("--interval") ? DialogRules::Number(check.intervalText) : channel->GetInterval();
    model.ApplyProperties(channel, v);
    session.Out() << Session::Line(channel) << "\n";
    return 0;
}

int CatalogueCommands::Move(Session& session, const Args& args) {
    if (args.size() != 2)
        throw UsageError{"move needs NODE and (gID|top)"};
    CGroup* group;
    CChannel* channel;
    if (!session.ParseNode(args[0], &group, &channel))
        return session.Refuse("no such node: " + args[0]);
    CGroup* target = nullptr;
    if (args[1] != "top") {
        if (args[1].empty() || args[1][0] != 'g')
            return session.Refuse("a node can only be moved into a group or to the top level");
        if (!(target = session.GroupArg(args[1])))
            return session.Refuse("no such group: " + args[1]);
    }
    switch (session.Model().Move(NodeOf(group, channel), target)) {
    case CatalogueModel::MoveResult::kMoved:
        return 0;
    case CatalogueModel::MoveResult::kOntoItself:
        return session.Refuse("a group cannot be moved into itself");
    case CatalogueModel::MoveResult::kAlreadyTopLevel:
        return session.Refuse("the node is at the top level already");
    default:
        return session.Refuse("a group cannot be moved into its own subtree");
    }
}

int CatalogueCommands::Delete(Session& session, const Args& args) {
    if (args.size() != 1)
        throw UsageError{"delete needs a NODE"};
    CGroup* group;
    CChannel* channel;
    if (!session.ParseNode(args[0], &group, &channel))
        return session.Refuse("no such node: " + args[0]);
    if (!session.Model().Delete(NodeOf(group, channel)))
        return RefuseDelete(session, group);
    return 0;
}

int CatalogueCommands::RefuseDelete(Session& session, CGroup* group) {
    const CatalogueModel::DeleteReport& report = session.Model().LastDelete();
    const bool updating = report.stop == CatalogueModel::DeleteStop::kUpdating;
    const std::string stopped = "c" + std::to_string(report.channelId) + " " + Utf8(report.channel);
    if (!group)
        return session.Refuse(stopped + " was not deleted: " +
                              (updating ? "it is being updated" : "its files cannot be deleted"));
    const size_t left = CatalogueModel::ChannelsUnder(CatalogueModel::NodeOf(group));
    return session.Refuse(
        "the delete stopped at " + stopped +
        (updating ? ", which is being updated" : ", whose files cannot be deleted") + "; g" +
        std::to_string(group->GetId()) + " " + Utf8(group->GetName()) + " stays, holding " +
        std::to_string(left) + " of its channels");
}

int CatalogueCommands::DeleteArticles(Session& session, const Args& args) {
    if (args.size() != 1)
        throw UsageError{"delete-articles needs a channel"};
    CChannel* channel = session.ChannelArg(args[0]);
    if (!channel)
        return session.Refuse("no such channel: " + args[0]);
    if (!session.Model().DeleteChannelArticles(channel))
        return session.Refuse("the channel's files cannot be deleted");
    session.Out() << Session::Line(channel) << "\n";
    return 0;
}
