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

// Channel.dat and Group.dat under <app>userdata/rss/ReadRecord/Common.
//
// One instance at a time: OpenCatalogueFiles takes an exclusive lock on "Catalogue.lock"
// in the same folder and holds it until Close (a second opener, in this process or
// another, fails). Each file has its own lock, taken for a whole load or save.
//
// Nothing saved is lost: a save writes a temporary file, flushes it and renames it over
// the file, after keeping the file as it was as the last good copy ("<name>.bak"). A file
// that does not load completely and exactly is never written over: it is moved aside as
// "<name>.damaged" and the last good copy is loaded instead; without a good copy the load
// fails and every later save of that file is refused.
class CatalogueFiles {
public:
    enum class OpenError { kNone, kInUse, kReadOnly, kFailed };

    CatalogueFiles() = default;
    ~CatalogueFiles() { Close(); }
    CatalogueFiles(const CatalogueFiles&) = delete;
    CatalogueFiles& operator=(const CatalogueFiles&) = delete;

    // Takes the lock and creates Channel.dat and Group.dat when missing.
    bool OpenCatalogueFiles();
    OpenError LastOpenError() const { return openError_; }
    void Close();
    bool IsOpen() const { return lockFile_.IsOpen(); }
    // Neither file (nor a copy of one) existed before this open: a new data folder.
    bool Created() const { return created_; }
    // Where channel pages and state files live: <app>userdata/rss/ReadRecord/Data.
    const std::wstring& DataFolder() const { return dataFolder_; }

    // Append the records of the file, in file order. False when neither the file nor its
    // last good copy could be read whole (the list is then left as it was).
    bool LoadGroups(GroupList& groups);
    bool LoadChannels(ChannelList& channels);
    // What a load found wrong and did about it, for the reader (empty when all was well).
    const std::wstring& Notice() const { return notice_; }
    // Rewrite the file from the list; false when it could not be written whole (the file
    // then stays as it was).
    bool SaveGroups(const GroupList& groups);
    bool SaveChannels(const ChannelList& channels);

    // The texts logged for one of the two files.
    struct FileTexts {
        const wchar_t* fileName;
        const wchar_t* noData;
        const wchar_t* loaded;
        const wchar_t* loadFailed;
        const wchar_t* saved;
        const wchar_t* saveFailed;
    };
    // One catalogue file: its path, lock and whether it may be written.
    struct Slot {
        const FileTexts* texts;
        platform::CriticalSection lock;
        std::wstring path;
        bool damaged = false;  // did not load, and no good copy did: never written
        bool verified = false; // the file on disk is known to load (or to be written by us)
    };

private:
    template <class Record> bool Load(Slot& slot, std::vector<std::unique_ptr<Record>>& list);
    template <class Record> bool Save(Slot& slot, const std::vector<std::unique_ptr<Record>>& list);
    void AddNotice(const std::wstring& text);

    platform::File lockFile_;
    Slot channels_;
    Slot groups_;
    std::wstring dataFolder_;
    std::wstring notice_;
    OpenError openError_ = OpenError::kNone;
    bool created_ = false;
};
