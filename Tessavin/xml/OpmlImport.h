#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CChannel;
class CGroup;
namespace platform {
class MessageTarget;
}

// Reads an OPML channel list (a local file, or an "http://" address through the feed
// downloader) by a plain text scan of its outline elements and turns them into new group
// and channel records with fresh ids. The caller takes the records over.
class COpmlImport {
public:
    // frame: where 11904 with 11745 goes when the import fails (may be null).
    explicit COpmlImport(platform::MessageTarget* frame = nullptr) : frame_(frame) {}
    virtual ~COpmlImport();

    // 1 when the document was read, 0 when it is unreadable or not OPML.
    int Import(const std::wstring& path, uint32_t parentGroupId, uint32_t firstGroupId,
               uint32_t firstChannelId);
    std::vector<std::unique_ptr<CChannel>>& Channels() { return channels_; }
    std::vector<std::unique_ptr<CGroup>>& Groups() { return groups_; }
    // The document's texts are UTF-8 (else the native code page).
    bool IsUtf8Document() const;

private:
    int Fail();
    void Scan(uint32_t parentGroupId, uint32_t firstGroupId, uint32_t firstChannelId);
    std::wstring Decode(const std::string& bytes) const;

    platform::MessageTarget* frame_;
    std::string docText_;
    std::vector<uint32_t> groupStack_;
    bool isUtf8_ = false;
    std::vector<std::unique_ptr<CChannel>> channels_;
    std::vector<std::unique_ptr<CGroup>> groups_;
};
