#pragma once

#include <filesystem>
#include <string>
#include <vector>

class Session;

// `log [--lines N]`: the newest log file of the log folder (UTF-16LE) as UTF-8; with
// --lines N its last N lines.
class LogCommand {
public:
    static int Run(Session& session, const std::vector<std::string>& args);

    // UTF-16LE bytes as UTF-8, without CRs. An odd last byte is dropped, and a surrogate
    // without its other half becomes '?'.
    static std::string Decode(const std::string& bytes);
    // The last `lines` lines of the text (a last line without LF counts); all of it for a
    // negative count.
    static std::string LastLines(const std::string& text, long lines);

private:
    // The .log file of the folder written last; empty when there is none.
    static std::filesystem::path Newest(const std::filesystem::path& folder);
};
