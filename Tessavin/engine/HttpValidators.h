#pragma once

#include <string>

// The validators of a channel's last successful download (the response's ETag and
// Last-Modified), kept in a small file beside the channel's page so that the next update
// can ask the server whether the document changed. The file names the address it belongs
// to; a file for another address, or a damaged one, counts as no file.
//
//   "validators 1" LF "url=" address LF "etag=" value LF "modified=" value LF
class HttpValidators {
public:
    static const size_t kMaxValueBytes = 1024;
    static const size_t kMaxUrlBytes = 8192;

    std::string url;
    std::string etag;
    std::string lastModified;

    bool Empty() const { return etag.empty() && lastModified.empty(); }

    // The file's bytes.
    std::string Format() const;
    // False (and this left empty) for anything but a complete file in the format above
    // with values of printable characters only.
    bool Parse(const std::string& text);

    // Reads the file at path; false when it is missing, damaged or for another address.
    bool Load(const std::wstring& path, const std::string& expectedUrl);
    // Replaces the file whole (temporary file + rename); an empty set removes it.
    bool Save(const std::wstring& path) const;
    // A header value as received: blanks and line ends around it removed; empty when it
    // holds control characters or is too long to keep.
    static std::string CleanValue(const std::string& raw);
};
