#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {
class File;
}

// One line of a channel's item state file ("F" + read, flag, deleted marks + three
// blanks + link + LF).
struct StateRecord {
    // False for a line shorter than 7 bytes: it keeps its place and matches nothing.
    bool usable = false;
    char readMark = '0';
    char flagMark = '0';
    char deletedMark = '0';
    std::string code; // the first 4 bytes of the line
    std::string link; // from offset 7, without CR and LF
};

// The byte format of the item state file.
class ItemStateFile {
public:
    // Every line of the content, whole however long it is, in file order.
    static std::vector<StateRecord> Parse(const std::string& content);
    // "F000   " + link + LF.
    static void AppendNewItemLine(std::string& out, const std::string& link);
    // code (4 bytes) + three blanks + link (CR/LF removed) + LF.
    static void AppendKnownItemLine(std::string& out, const std::string& code,
                                    const std::string& link);
    // Line `number` (from 1, counting every line whole): its first byte in `start` and its
    // end (the LF, or the end of the content) in `end`; false when there is no such line.
    static bool FindLine(const std::string& content, uint32_t number, size_t& start, size_t& end);
    // The link without any CR or LF.
    static std::string WithoutLineBreaks(const std::string& link);
    // Opens the state file for reading and writing, held against every other exclusive
    // opener (an update, an item action) until `file` closes, and reads it; false (logged)
    // when it is in use or unreadable.
    static bool OpenHeld(platform::File& file, const std::wstring& path, std::string& content);
};
