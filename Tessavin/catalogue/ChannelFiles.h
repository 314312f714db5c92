#pragma once

#include <string>

class CChannel;

// Where a channel's files are: all of them are named by the channel's file stem in the data
// folder ("rss<id>" + an extension).
struct ChannelFiles {
    ChannelFiles(const std::wstring& dataFolder, const std::wstring& stem);
    ChannelFiles(const std::wstring& dataFolder, const CChannel& channel);

    std::wstring Page() const { return base_ + L".html"; }       // the channel page
    std::wstring State() const { return base_ + L".flg"; }       // the item state file
    std::wstring Validators() const { return base_ + L".http"; } // the download's validators
    std::wstring Health() const { return base_ + L".health"; }   // kept while updates fail

private:
    std::wstring base_; // <folder>/<stem>
};
