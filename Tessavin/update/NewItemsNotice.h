#pragma once

#include <string>
#include <vector>

// Where the notice of new items is shown (the desktop's notifications); tests replace it.
class NoticeSink {
public:
    virtual ~NoticeSink() = default;
    // title: plain text; body: text for a notification body, markup escaped.
    virtual void Show(const std::wstring& title, const std::wstring& body) = 0;
};

// The summary's texts in the user's language, with "{items}" and "{channels}" where the
// numbers go.
struct NoticeTexts {
    std::wstring oneItem;    // one item in one channel
    std::wstring oneChannel; // several items in one channel
    std::wstring many;       // items in several channels
};

// The new items of one update run, channel by channel, and the notice they make:
// "12 new items in 3 channels" over the channels' names.
class NewItemsNotice {
public:
    static const size_t kMaxNames = 5;

    void Add(const std::wstring& channelName, int newItems);
    bool Empty() const { return items_ == 0; }
    void Clear();
    std::wstring Summary(const NoticeTexts& texts) const;
    // The first kMaxNames names, ", " between them and "…" after when there are more. A
    // notification server may read a body as markup: names are escaped, and controls
    // become blanks.
    std::wstring Names() const;

private:
    long items_ = 0;
    std::vector<std::wstring> names_;
};
