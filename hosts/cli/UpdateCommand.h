#pragma once

#include <string>
#include <vector>

class CChannel;
class Session;

// `update (--all | NODE...)`: updates the channels (a group: every channel under it), waits
// for them and reports each channel's outcome and the counts. Ctrl-C stops the updates.
// Exit code 1 when an update failed.
class UpdateCommand {
public:
    static int Run(Session& session, const std::vector<std::string>& args);

private:
    // Starts the updates of the channels named; false (the reason given) for a node that
    // does not exist.
    static bool Start(Session& session, const std::vector<std::string>& args,
                      std::vector<CChannel*>& channels);
    static int Report(Session& session, const std::vector<CChannel*>& channels);
};
