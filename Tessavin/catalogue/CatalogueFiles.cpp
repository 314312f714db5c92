#include "catalogue/CatalogueFiles.h"

#include "catalogue/Archive.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "platform/ScopedLock.h"

#include <utility>

namespace {

struct FileTexts {
    const wchar_t* noData;
    const wchar_t* loaded;
    const wchar_t* loadFailed;
    const wchar_t* saved;
    const wchar_t* saveFailed;
};

const FileTexts kGroupTexts = {L"No group data in file", L"Succeed to load group data",
                               L"Failed to load group data", L"Succeed to save group date",
                               L"Failed to save group date"};
const FileTexts kChannelTexts = {L"No channel data in file", L"Succeed to load channel data",
                                 L"Failed to load channel data", L"Succeed to save channel date",
                                 L"Failed to save channel date"};

template <class Record>
bool LoadList(platform::File& file, platform::CriticalSection& lock, const FileTexts& texts,
              std::vector<std::unique_ptr<Record>>& list) {
    platform::ScopedLock guard(lock);
    int64_t size = file.Size();
    if (size == 0) {
        LogPrintf(texts.noData);
        return true;
    }
    std::string data;
    if (size < 0 || !file.Seek(0) || !file.ReadToEnd(data)) {
        LogPrintf(texts.loadFailed);
        return false;
    }
    try {
        CArchive ar(std::move(data));
        uint32_t count = ar.ReadCount();
        for (uint32_t i = 0; i < count; ++i) {
            uint16_t schema = 0;
            std::string className = ar.ReadObjectTag(schema);
            // A file holds records of its own class only.
            if (className != Record::kClassName || schema != Record::kSchema)
                throw ArchiveError("unexpected class or schema");
            auto record = std::make_unique<Record>();
            record->Serialize(ar);
            list.push_back(std::move(record));
        }
    } catch (const std::exception&) {
        LogPrintf(texts.loadFailed);
        return false;
    }
    LogPrintf(texts.loaded);
    return true;
}

template <class Record>
bool SaveList(platform::File& file, platform::CriticalSection& lock, const FileTexts& texts,
              const std::vector<std::unique_ptr<Record>>& list) {
    platform::ScopedLock guard(lock);
    try {
        // Serialize everything first: a failure here leaves the file as it was.
        CArchive ar;
        ar.WriteCount(static_cast<uint32_t>(list.size()));
        for (const auto& record : list) {
            ar.WriteObjectTag(Record::kClassName, Record::kSchema);
            record->Serialize(ar);
        }
        if (!file.IsOpen() || !file.Truncate(0) || !file.Write(ar.Data()) || !file.Flush()) {
            LogPrintf(texts.saveFailed);
            return false;
        }
    } catch (const std::exception&) {
        LogPrintf(texts.saveFailed);
        return false;
    }
    LogPrintf(texts.saved);
    return true;
}

} // namespace

bool CatalogueFiles::OpenCatalogueFiles() {
    Close();
    const std::wstring catalogue = CatalogueFolder();
    dataFolder_ = ::DataFolder();
    const unsigned flags = platform::File::kRead | platform::File::kWrite |
                           platform::File::kCreate | platform::File::kExclusive;
    if (!channelFile_.Open(catalogue + L"/" + L"Channel.dat", flags)) {
        LogPrintf(L"Failed to open channel file");
        return false;
    }
    if (!groupFile_.Open(catalogue + L"/" + L"Group.dat", flags)) {
        LogPrintf(L"Failed to open group file");
        channelFile_.Close();
        return false;
    }
    return true;
}

void CatalogueFiles::Close() {
    channelFile_.Close();
    groupFile_.Close();
}

bool CatalogueFiles::LoadGroups(GroupList& groups) {
    return LoadList(groupFile_, groupFileLock_, kGroupTexts, groups);
}

bool CatalogueFiles::LoadChannels(ChannelList& channels) {
    return LoadList(channelFile_, channelFileLock_, kChannelTexts, channels);
}

bool CatalogueFiles::SaveGroups(const GroupList& groups) {
    return SaveList(groupFile_, groupFileLock_, kGroupTexts, groups);
}

bool CatalogueFiles::SaveChannels(const ChannelList& channels) {
    return SaveList(channelFile_, channelFileLock_, kChannelTexts, channels);
}
