#include "catalogue/Channel.h"

#include "catalogue/Archive.h"
#include "platform/Format.h"

const char* const CChannel::kClassName = "CChannel";

void CChannel::Serialize(CArchive& ar) {
    std::lock_guard<std::mutex> guard(lock_);
    ar.Field(id_);
    ar.Field(groupId_);
    ar.Field(name_);
    ar.Field(description_);
    ar.Field(url_);
    ar.Field(maxItems_);
    ar.Field(unreadCount_);
    ar.Field(totalCount_);
    ar.Field(interval_);
    ar.Field(fileStem_);
    ar.Field(lastUpdated_);
    ar.Field(lastBuildDate_);
}

uint32_t CChannel::GetId() const {
    std::lock_guard<std::mutex> guard(lock_);
    return id_;
}

void CChannel::SetId(uint32_t id) {
    std::lock_guard<std::mutex> guard(lock_);
    id_ = id;
}

uint32_t CChannel::GetGroupId() const {
    std::lock_guard<std::mutex> guard(lock_);
    return groupId_;
}

void CChannel::SetGroupId(uint32_t groupId) {
    std::lock_guard<std::mutex> guard(lock_);
    groupId_ = groupId;
}

std::wstring CChannel::GetName() const {
    std::lock_guard<std::mutex> guard(lock_);
    return name_;
}

void CChannel::SetName(const std::wstring& name) {
    std::lock_guard<std::mutex> guard(lock_);
    name_ = name;
}

std::wstring CChannel::GetDescription() const {
    std::lock_guard<std::mutex> guard(lock_);
    return description_;
}

void CChannel::SetDescription(const std::wstring& text) {
    std::lock_guard<std::mutex> guard(lock_);
    description_ = text;
}

std::wstring CChannel::GetUrl() const {
    std::lock_guard<std::mutex> guard(lock_);
    return url_;
}

void CChannel::SetUrl(const std::wstring& url) {
    std::lock_guard<std::mutex> guard(lock_);
    url_ = url;
}

uint32_t CChannel::GetMaxItems() const {
    std::lock_guard<std::mutex> guard(lock_);
    return maxItems_;
}

void CChannel::SetMaxItems(uint32_t maxItems) {
    std::lock_guard<std::mutex> guard(lock_);
    maxItems_ = maxItems;
}

uint32_t CChannel::GetInterval() const {
    std::lock_guard<std::mutex> guard(lock_);
    return interval_;
}

void CChannel::SetInterval(uint32_t minutes) {
    std::lock_guard<std::mutex> guard(lock_);
    interval_ = minutes;
}

std::wstring CChannel::GetFileStem() const {
    std::lock_guard<std::mutex> guard(lock_);
    return fileStem_;
}

void CChannel::SetFileStem(const std::wstring& stem) {
    std::lock_guard<std::mutex> guard(lock_);
    fileStem_ = stem;
}

uint32_t CChannel::GetUnreadCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return unreadCount_;
}

uint32_t CChannel::GetTotalCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return totalCount_;
}

void CChannel::SetCounts(uint32_t unread, uint32_t total) {
    std::lock_guard<std::mutex> guard(lock_);
    unreadCount_ = unread;
    totalCount_ = total;
}

void CChannel::GetCounts(uint32_t& unread, uint32_t& total) const {
    std::lock_guard<std::mutex> guard(lock_);
    unread = unreadCount_;
    total = totalCount_;
}

std::wstring CChannel::GetLastUpdated() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastUpdated_;
}

void CChannel::SetLastUpdated(const std::wstring& when) {
    std::lock_guard<std::mutex> guard(lock_);
    lastUpdated_ = when;
}

std::string CChannel::GetLastBuildDate() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastBuildDate_;
}

void CChannel::SetLastBuildDate(const std::string& date) {
    std::lock_guard<std::mutex> guard(lock_);
    lastBuildDate_ = date;
}

std::wstring CChannel::NodeText() const {
    std::lock_guard<std::mutex> guard(lock_);
    return platform::FormatW(L"%s(%d/%d)", name_.c_str(), static_cast<int>(unreadCount_),
                             static_cast<int>(totalCount_));
}
