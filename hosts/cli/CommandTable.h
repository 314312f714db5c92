#pragma once

#include <string>
#include <vector>

class Session;

// One command of the command line: its name, its line of the usage text and what runs it.
struct Command {
    using Handler = int (*)(Session& session, const std::vector<std::string>& args);

    const char* name;
    const char* arguments; // after the name in the usage text
    const char* note;      // at the usage text's second column; empty for none
    bool onCatalogue;      // runs on the opened catalogue (else on the settings alone)
    Handler run;           // the exit code: 0 done, 1 refused; throws UsageError
};

// The commands, from which both the dispatch and the usage text are made.
class CommandTable {
public:
    static const std::vector<Command>& Commands();
    // The command of that name, or null.
    static const Command* Find(const std::string& name);
    // "usage: ..." and a line per command, in the table's order.
    static std::string Usage();
};
