#pragma once

#include <string>
#include <vector>

class Session;
struct ImportCounts;

// The commands that read and write the catalogue as an OPML list: import (a file or an http
// address) and export (a file, or - for the output).
class OpmlCommands {
public:
    using Args = std::vector<std::string>;

    static int Import(Session& session, const Args& args);
    static int Export(Session& session, const Args& args);

private:
    // Why the last import failed, as the refusal says it.
    static std::string ImportProblem(Session& session);
    // ", N already present, ..." for what of the list was left out or changed.
    static std::string ImportChanges(const ImportCounts& counts);
};
