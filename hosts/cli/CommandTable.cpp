#include "CommandTable.h"

#include "CatalogueCommands.h"
#include "ItemCommands.h"
#include "LogCommand.h"
#include "OpmlCommands.h"
#include "OptionsCommand.h"
#include "SearchCommand.h"
#include "Session.h"
#include "UpdateCommand.h"
#include "UsageError.h"

namespace {

// Where the notes of the usage text start.
const size_t kNoteColumn = 40;

int Options(Session& session, const std::vector<std::string>& args) {
    const OptionsCommand::Outcome outcome = OptionsCommand::Run(args, session.Out());
    if (outcome.exitCode == 2)
        throw UsageError{outcome.message};
    return outcome.exitCode == 0 ? 0 : session.Refuse(outcome.message);
}

} // namespace

const std::vector<Command>& CommandTable::Commands() {
    static const std::vector<Command> commands = {
        {"list", "", "", true, CatalogueCommands::List},
        {"update", "(--all | NODE...)", "a group updates every channel under it", true,
         UpdateCommand::Run},
        {"import", "PATH|URL [--group gID]", "", true, OpmlCommands::Import},
        {"export", "PATH|-", "the catalogue as OPML 2.0 (- : standard output)", true,
         OpmlCommands::Export},
        {"add-group", "NAME [--parent gID]", "", true, CatalogueCommands::AddGroup},
        {"add-channel", "URL --name NAME [--description TEXT] [--group gID]",
         "a web page: its first feed", true, CatalogueCommands::AddChannel},
        {"add-channel", "URL --list-feeds", "the feeds a web page names", true,
         CatalogueCommands::AddChannel},
        {"rename", "NODE NAME", "", true, CatalogueCommands::Rename},
        {"set", "cID [--name N] [--description D] [--url U] [--max-items N] [--interval M]", "",
         true, CatalogueCommands::Set},
        {"move", "NODE (gID|top)", "", true, CatalogueCommands::Move},
        {"delete", "NODE", "", true, CatalogueCommands::Delete},
        {"delete-articles", "cID", "", true, CatalogueCommands::DeleteArticles},
        {"page", "cID", "", true, ItemCommands::Page},
        {"mark", "cID N (read|unread|flag|unflag|delete)", "", true, ItemCommands::Mark},
        {"mark-read", "(--all | NODE...)", "every item of the channels read", true,
         ItemCommands::MarkRead},
        {"search", "QUERY [--channel cID] [--limit N]", "items of every channel by their words",
         true, SearchCommand::Run},
        {"log", "[--lines N]", "the newest log file (written with --log)", false, LogCommand::Run},
        {"options", "[KEY [VALUE]]", "the settings; with a VALUE, checked and written", false,
         Options}};
    return commands;
}

const Command* CommandTable::Find(const std::string& name) {
    for (const Command& command : Commands())
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string CommandTable::Usage() {
    std::string usage = "usage: tessavin [--app-dir DIR] [--log] COMMAND [ARGS]\n";
    for (const Command& command : Commands()) {
        std::string line = std::string("  ") + command.name;
        if (*command.arguments)
            line += std::string(" ") + command.arguments;
        if (*command.note)
            line += std::string(kNoteColumn > line.size() ? kNoteColumn - line.size() : 1, ' ') +
                    command.note;
        usage += line + "\n";
    }
    return usage;
}
