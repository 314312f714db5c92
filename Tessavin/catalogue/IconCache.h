#pragma once

#include <cstdint>
#include <string>

// The site icons of the channels in the data folder's `icons/`: per channel id one file
// with the icon's bytes as they were downloaded (`<id>.icon`), or a record that the last
// search found none (`<id>.none`, empty). Names come from the id only, never from feed
// text. Each is written whole (temporary file + rename); its modification time is when the
// icon was last looked for, and a week later it is looked for again.
class IconCache {
public:
    static const int64_t kMaxAgeSeconds = 7 * 24 * 3600;

    enum class State {
        kMissing, // never looked for
        kFresh,   // looked for within the week
        kStale    // looked for longer ago
    };

    explicit IconCache(const std::wstring& dataFolder);

    // now: seconds since 1970.
    State StateOf(uint32_t channelId, int64_t now) const;
    // The cached icon's bytes; false when there is none or it is larger than maxBytes.
    bool Load(uint32_t channelId, std::string& bytes, size_t maxBytes) const;
    // Keeps the icon found (and forgets that none was found).
    bool Store(uint32_t channelId, const std::string& bytes);
    // Records that none was found; an icon found before is kept and still shown.
    bool StoreNone(uint32_t channelId);
    // Deletes both files; true when neither is left.
    bool Delete(uint32_t channelId);

    std::wstring Folder() const { return folder_; }
    std::wstring IconPath(uint32_t channelId) const;
    std::wstring NonePath(uint32_t channelId) const;

private:
    bool Write(const std::wstring& path, const std::string& bytes);

    std::wstring folder_;
};
