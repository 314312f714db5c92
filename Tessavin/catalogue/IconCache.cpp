#include "catalogue/IconCache.h"

#include "platform/FileSystem.h"

#include <algorithm>

IconCache::IconCache(const std::wstring& dataFolder) : folder_(dataFolder + L"/icons") {}

std::wstring IconCache::IconPath(uint32_t channelId) const {
    return folder_ + L"/" + std::to_wstring(channelId) + L".icon";
}

std::wstring IconCache::NonePath(uint32_t channelId) const {
    return folder_ + L"/" + std::to_wstring(channelId) + L".none";
}

IconCache::State IconCache::StateOf(uint32_t channelId, int64_t now) const {
    // The later of the two says when the icon was last looked for.
    int64_t iconTime = 0, noneTime = 0;
    const bool icon = platform::FileModifiedTime(IconPath(channelId), iconTime);
    const bool none = platform::FileModifiedTime(NonePath(channelId), noneTime);
    if (!icon && !none)
        return State::kMissing;
    const int64_t age = now - std::max(icon ? iconTime : 0, none ? noneTime : 0);
    // A time ahead of the clock (a clock set back) counts as stale, not as fresh for ever.
    return age >= 0 && age < kMaxAgeSeconds ? State::kFresh : State::kStale;
}

bool IconCache::Load(uint32_t channelId, std::string& bytes, size_t maxBytes) const {
    const std::wstring path = IconPath(channelId);
    const long long size = platform::FileSize(path);
    return size >= 0 && static_cast<size_t>(size) <= maxBytes &&
           platform::ReadWholeFile(path, bytes) && bytes.size() <= maxBytes;
}

bool IconCache::Write(const std::wstring& path, const std::string& bytes) {
    if (!platform::FolderExists(folder_) && !platform::CreateFolder(folder_))
        return false;
    // Not flushed: a lost icon is looked for again.
    return platform::ReplaceFilesContent({{path, &bytes}}, /*flush=*/false);
}

bool IconCache::Store(uint32_t channelId, const std::string& bytes) {
    if (!Write(IconPath(channelId), bytes))
        return false;
    const std::wstring none = NonePath(channelId);
    return !platform::PathExists(none) || platform::DeleteFile(none);
}

bool IconCache::StoreNone(uint32_t channelId) {
    return Write(NonePath(channelId), std::string());
}

bool IconCache::Delete(uint32_t channelId) {
    bool gone = true;
    for (const std::wstring& path : {IconPath(channelId), NonePath(channelId)})
        if (platform::PathExists(path) && !platform::DeleteFile(path))
            gone = false;
    return gone;
}
