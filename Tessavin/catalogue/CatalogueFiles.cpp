#include "catalogue/CatalogueFiles.h"

#include "catalogue/Archive.h"
#include "config/Folders.h"
#include "config/LogFile.h"
#include "platform/FileSystem.h"
#include "platform/Format.h"
#include "platform/ScopedLock.h"

#include <utility>

namespace {

const CatalogueFiles::FileTexts kGroupTexts = {L"Group.dat",
                                               L"No group data in file",
                                               L"Succeed to load group data",
                                               L"Failed to load group data",
                                               L"Succeed to save group date",
                                               L"Failed to save group date"};
const CatalogueFiles::FileTexts kChannelTexts = {L"Channel.dat",
                                                 L"No channel data in file",
                                                 L"Succeed to load channel data",
                                                 L"Failed to load channel data",
                                                 L"Succeed to save channel date",
                                                 L"Failed to save channel date"};

std::wstring CopyPath(const std::wstring& path) {
    return path + L".bak";
}

enum class ReadResult { kRecords, kEmptyFile, kUnreadable };

// Reads every record of a catalogue file; kUnreadable unless the whole file is exactly a
// count and that many records of the list's own class.
template <class Record>
ReadResult ReadRecords(const std::wstring& path, std::vector<std::unique_ptr<Record>>& records) {
    records.clear();
    std::string data;
    if (!platform::ReadWholeFile(path, data))
        return ReadResult::kUnreadable;
    if (data.empty())
        return ReadResult::kEmptyFile;
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
            records.push_back(std::move(record));
        }
        if (!ar.AtEnd())
            throw ArchiveError("bytes after the last record");
    } catch (const std::exception&) {
        records.clear();
        return ReadResult::kUnreadable;
    }
    return ReadResult::kRecords;
}

// A name beside path that no file has yet: "<path>.damaged", "<path>.damaged2", ...
std::wstring FreeDamagedName(const std::wstring& path) {
    std::wstring name = path + L".damaged";
    for (int n = 2; platform::PathExists(name); ++n)
        name = path + L".damaged" + std::to_wstring(n);
    return name;
}

} // namespace

void CatalogueFiles::AddNotice(const std::wstring& text) {
    LogPrintf(L"%s", text.c_str());
    if (!notice_.empty())
        notice_ += L"\n";
    notice_ += text;
}

template <class Record>
bool CatalogueFiles::Load(Slot& slot, std::vector<std::unique_ptr<Record>>& list) {
    platform::ScopedLock guard(slot.lock);
    const FileTexts& texts = *slot.texts;
    std::vector<std::unique_ptr<Record>> records;
    const bool exists = platform::FileExists(slot.path);
    ReadResult result = exists ? ReadRecords(slot.path, records) : ReadResult::kUnreadable;
    const bool hasCopy = platform::FileExists(CopyPath(slot.path));
    if (result == ReadResult::kEmptyFile) {
        // A file is empty only until its first save; an empty file beside a saved copy
        // was cut short.
        if (!hasCopy || platform::FileSize(CopyPath(slot.path)) <= 0) {
            LogPrintf(texts.noData);
            slot.verified = true;
            return true;
        }
        result = ReadResult::kUnreadable;
    }
    if (result == ReadResult::kRecords) {
        LogPrintf(texts.loaded);
        slot.verified = true;
        for (auto& record : records)
            list.push_back(std::move(record));
        return true;
    }
    if (exists)
        LogPrintf(texts.loadFailed);
    else if (!hasCopy)
        return slot.verified = true; // neither file nor copy: nothing was ever saved
    std::vector<std::unique_ptr<Record>> copied;
    ReadResult copyResult =
        hasCopy ? ReadRecords(CopyPath(slot.path), copied) : ReadResult::kUnreadable;
    if (copyResult == ReadResult::kUnreadable) {
        slot.damaged = true;
        AddNotice(platform::FormatW(L"%s cannot be read and there is no good copy of it; it was "
                                    L"left as it is and will not be written",
                                    texts.fileName));
        return false;
    }
    // Keep the damaged file for the reader, put the last good copy in its place.
    std::wstring kept;
    if (exists) {
        kept = FreeDamagedName(slot.path);
        if (!platform::RenameFile(slot.path, kept)) {
            slot.damaged = true;
            AddNotice(platform::FormatW(L"%s cannot be read and cannot be moved aside; it was "
                                        L"left as it is and will not be written",
                                        texts.fileName));
            return false;
        }
    }
    if (!platform::CopyFile(CopyPath(slot.path), slot.path, false))
        LogPrintf(texts.saveFailed); // the next save writes it
    AddNotice(exists ? platform::FormatW(L"%s could not be read; it was kept as %s and the last "
                                         L"good copy was loaded",
                                         texts.fileName, kept.c_str())
                     : platform::FormatW(L"%s was missing; the last good copy was loaded",
                                         texts.fileName));
    for (auto& record : copied)
        list.push_back(std::move(record));
    slot.verified = true;
    return true;
}

template <class Record>
bool CatalogueFiles::Save(Slot& slot, const std::vector<std::unique_ptr<Record>>& list) {
    platform::ScopedLock guard(slot.lock);
    const FileTexts& texts = *slot.texts;
    if (!slot.verified && IsOpen()) {
        // Saved without a load before: what stands there must load, or it is kept.
        std::vector<std::unique_ptr<Record>> existing;
        slot.damaged = platform::FileSize(slot.path) > 0 &&
                       ReadRecords(slot.path, existing) == ReadResult::kUnreadable;
        slot.verified = true;
    }
    if (!IsOpen() || slot.damaged) {
        LogPrintf(texts.saveFailed);
        return false;
    }
    try {
        // Serialize everything first: a failure here leaves the file as it was.
        CArchive ar;
        ar.WriteCount(static_cast<uint32_t>(list.size()));
        for (const auto& record : list) {
            ar.WriteObjectTag(Record::kClassName, Record::kSchema);
            record->Serialize(ar);
        }
        // The file as it stands loaded whole or was saved whole: it is the last good copy.
        if (platform::FileSize(slot.path) > 0)
            platform::KeepCopy(slot.path, CopyPath(slot.path));
        if (!platform::ReplaceFileContent(slot.path, ar.Data())) {
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

bool CatalogueFiles::OpenCatalogueFiles() {
    Close();
    const std::wstring catalogue = CatalogueFolder();
    dataFolder_ = ::DataFolder();
    notice_.clear();
    channels_.texts = &kChannelTexts;
    groups_.texts = &kGroupTexts;
    channels_.path = catalogue + L"/" + L"Channel.dat";
    groups_.path = catalogue + L"/" + L"Group.dat";
    channels_.damaged = groups_.damaged = false;
    channels_.verified = groups_.verified = false;
    if (!platform::IsFolderWritable(catalogue)) {
        openError_ = platform::FolderExists(catalogue) ? OpenError::kReadOnly : OpenError::kFailed;
        LogPrintf(L"Failed to open channel file");
        return false;
    }
    if (!lockFile_.Open(catalogue + L"/Catalogue.lock",
                        platform::File::kRead | platform::File::kWrite | platform::File::kCreate |
                            platform::File::kExclusive)) {
        openError_ = OpenError::kInUse;
        LogPrintf(L"Failed to open channel file");
        return false;
    }
    created_ = true;
    for (Slot* slot : {&channels_, &groups_})
        created_ = created_ && !platform::PathExists(slot->path) &&
                   !platform::PathExists(CopyPath(slot->path));
    // A missing file without a copy starts empty; one with a copy is restored by its load.
    for (Slot* slot : {&channels_, &groups_}) {
        if (platform::PathExists(slot->path) || platform::PathExists(CopyPath(slot->path)))
            continue;
        if (!platform::ReplaceFileContent(slot->path, std::string())) {
            LogPrintf(slot == &channels_ ? L"Failed to open channel file"
                                         : L"Failed to open group file");
            openError_ = OpenError::kFailed;
            lockFile_.Close();
            return false;
        }
    }
    openError_ = OpenError::kNone;
    return true;
}

void CatalogueFiles::Close() {
    lockFile_.Close();
}

bool CatalogueFiles::LoadGroups(GroupList& groups) {
    return Load(groups_, groups);
}

bool CatalogueFiles::LoadChannels(ChannelList& channels) {
    return Load(channels_, channels);
}

bool CatalogueFiles::SaveGroups(const GroupList& groups) {
    return Save(groups_, groups);
}

bool CatalogueFiles::SaveChannels(const ChannelList& channels) {
    return Save(channels_, channels);
}
