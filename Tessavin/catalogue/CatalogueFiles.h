#pragma once

#include "catalogue/Channel.h"
#include "catalogue/Group.h"
#include "platform/CriticalSection.h"
#include "platform/File.h"

#include <memory>
#include <string>
#include <vector>

using ChannelList = std::vector<std::unique_ptr<CChannel>>;
using GroupList = std::vector<std::unique_ptr<CGroup>>;

// Channel.dat and Group.dat under <app>userdata/rss/ReadRecord/Common, held open
// exclusively from OpenCatalogueFiles until Close (a second opener, in this process or
// another, fails). Each file has its own lock, taken for a whole load or save.
class CatalogueFiles {
public:
    CatalogueFiles() = default;
    ~CatalogueFiles() { Close(); }
    CatalogueFiles(const CatalogueFiles&) = delete;
    CatalogueFiles& operator=(const CatalogueFiles&) = delete;

    // Opens (creating when missing, never truncating) Channel.dat, then Group.dat.
    bool OpenCatalogueFiles();
    void Close();
    bool IsOpen() const { return channelFile_.IsOpen() && groupFile_.IsOpen(); }
    // Where channel pages and state files live: <app>userdata/rss/ReadRecord/Data.
    const std::wstring& DataFolder() const { return dataFolder_; }

    // Append the records of the file, in file order. False when the file could not be read
    // whole; the records read completely before the failure are kept.
    bool LoadGroups(GroupList& groups);
    bool LoadChannels(ChannelList& channels);
    // Rewrite the file from the list: the list is serialized first, then the file is
    // truncated, written and flushed to disk.
    bool SaveGroups(const GroupList& groups);
    bool SaveChannels(const ChannelList& channels);

private:
    platform::File channelFile_;
    platform::File groupFile_;
    platform::CriticalSection channelFileLock_;
    platform::CriticalSection groupFileLock_;
    std::wstring dataFolder_;
};
