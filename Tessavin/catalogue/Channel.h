#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

class CArchive;

// A channel (feed) of the catalogue. The worker thread that updates a channel reads its
// fields and writes its counts, lastUpdated and lastBuildDate while the UI thread may
// save or edit it; every persistent field is therefore guarded by the record's own lock,
// which Serialize takes too, so a save never writes a torn value.
class CChannel {
public:
    static const char* const kClassName; // "CChannel"
    static const uint16_t kSchema = 1;
    static const uint32_t kDefaultMaxItems = 400;
    static const uint32_t kDefaultInterval = 40;

    CChannel() = default;
    CChannel(const CChannel&) = delete;
    CChannel& operator=(const CChannel&) = delete;

    void Serialize(CArchive& ar);

    uint32_t GetId() const;
    void SetId(uint32_t id);
    uint32_t GetGroupId() const;
    void SetGroupId(uint32_t groupId);
    std::wstring GetName() const;
    void SetName(const std::wstring& name);
    std::wstring GetDescription() const;
    void SetDescription(const std::wstring& text);
    std::wstring GetUrl() const;
    void SetUrl(const std::wstring& url);
    uint32_t GetMaxItems() const;
    void SetMaxItems(uint32_t maxItems);
    uint32_t GetInterval() const;
    void SetInterval(uint32_t minutes);
    std::wstring GetFileStem() const;
    void SetFileStem(const std::wstring& stem);
    uint32_t GetUnreadCount() const;
    uint32_t GetTotalCount() const;
    // Both counts in one step (what a finished update publishes).
    void SetCounts(uint32_t unread, uint32_t total);
    void GetCounts(uint32_t& unread, uint32_t& total) const;
    std::wstring GetLastUpdated() const;
    void SetLastUpdated(const std::wstring& when);
    std::string GetLastBuildDate() const;
    void SetLastBuildDate(const std::string& date);

    // Transient state, never written to a file.
    void* GetTreeItem() const { return treeItem_; }
    void SetTreeItem(void* item) { treeItem_ = item; }
    bool IsUpdating() const { return updating_.load(); }
    void SetUpdating(bool updating) { updating_.store(updating); }
    // Sets updating; false when it was set already (another update runs).
    bool BeginUpdating() { return !updating_.exchange(true); }
    bool GetShowWhenDone() const { return showWhenDone_; }
    void SetShowWhenDone(bool show) { showWhenDone_ = show; }

    // "%s(%d/%d)": name, unread, total.
    std::wstring NodeText() const;

private:
    mutable std::mutex lock_;
    uint32_t id_ = 0;
    uint32_t groupId_ = 0;
    std::wstring name_;
    std::wstring description_;
    std::wstring url_;
    uint32_t maxItems_ = kDefaultMaxItems;
    uint32_t interval_ = kDefaultInterval;
    std::wstring fileStem_;

    uint32_t unreadCount_ = 0;
    uint32_t totalCount_ = 0;
    std::wstring lastUpdated_;
    std::string lastBuildDate_;

    void* treeItem_ = nullptr;
    std::atomic<bool> updating_{false};
    bool showWhenDone_ = false;
};
