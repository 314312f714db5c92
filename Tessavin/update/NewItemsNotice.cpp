#include "update/NewItemsNotice.h"

namespace {

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

std::wstring Escaped(const std::wstring& name) {
    std::wstring out;
    out.reserve(name.size());
    for (wchar_t c : name) {
        if (c == L'&')
            out += L"&amp;";
        else if (c == L'<')
            out += L"&lt;";
        else if (c == L'>')
            out += L"&gt;";
        else if (c < 0x20 || (c >= 0x7f && c < 0xa0))
            out += L' ';
        else
            out += c;
    }
    return out;
}

} // namespace

void NewItemsNotice::Add(const std::wstring& channelName, int newItems) {
    if (newItems <= 0)
        return;
    items_ += newItems;
    names_.push_back(channelName);
}

void NewItemsNotice::Clear() {
    items_ = 0;
    names_.clear();
}

std::wstring NewItemsNotice::Summary(const NoticeTexts& texts) const {
    std::wstring text = items_ == 1          ? texts.oneItem
                        : names_.size() == 1 ? texts.oneChannel
                                             : texts.many;
    ReplaceAll(text, L"{items}", std::to_wstring(items_));
    ReplaceAll(text, L"{channels}", std::to_wstring(names_.size()));
    return text;
}

std::wstring NewItemsNotice::Names() const {
    std::wstring out;
    for (size_t i = 0; i < names_.size() && i < kMaxNames; ++i)
        out += (i ? L", " : L"") + Escaped(names_[i]);
    if (names_.size() > kMaxNames)
        out += L", …";
    return out;
}
