#pragma once

#include <string>
#include <vector>

class Session;

// `search QUERY [--channel cID] [--limit N]`: the items of every channel (or of one) whose
// title or text holds every word of the query, newest first, one line each
// ("c<id> <item number> <title>"), and how many were found.
class SearchCommand {
public:
    static const size_t kDefaultLimit = 20;
    static const size_t kMaxLimit = 1000;

    static int Run(Session& session, const std::vector<std::string>& args);
    // A title as one terminal line: its plain text, every control character (C0, DEL, C1)
    // and every byte that is not UTF-8 a blank, blanks run together.
    static std::string TerminalLine(const std::string& html);
};
