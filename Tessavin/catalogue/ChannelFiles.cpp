#include "catalogue/ChannelFiles.h"

#include "catalogue/Channel.h"

ChannelFiles::ChannelFiles(const std::wstring& dataFolder, const std::wstring& stem)
    : base_(dataFolder + L"/" + stem) {}

ChannelFiles::ChannelFiles(const std::wstring& dataFolder, const CChannel& channel)
    : ChannelFiles(dataFolder, channel.GetFileStem()) {}
