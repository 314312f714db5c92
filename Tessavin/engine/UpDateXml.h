#pragma once

#include <string>

class CChannel;
namespace platform {
class MessageTarget;
}

// Fetches one document over plain HTTP (directly or through the configured proxy with its
// login), with the configured time-out and number of attempts, and keeps it in memory.
// Status codes go to the main frame (message 11904) when a frame target is given.
class CUpDateXml {
public:
    static const size_t kBlockSize = 16384;

    explicit CUpDateXml(platform::MessageTarget* frame = nullptr) : frame_(frame) {}

    // 1 document received (now in Buffer), 2 stopped by the user, 0 failed. In import mode
    // the stop flag is ignored and the log texts name no channel.
    int DownLoadXmlbuf(const std::wstring& address, int importMode);

    const std::string& Buffer() const { return buffer_; }
    void SetChannel(CChannel* channel) { channel_ = channel; }

private:
    int Download(const std::wstring& address, bool importMode);
    void PostStatus(unsigned code);

    platform::MessageTarget* frame_;
    CChannel* channel_ = nullptr;
    std::string buffer_;
};
