#pragma once

#include "engine/HttpValidators.h"

#include <string>

class CChannel;
namespace platform {
class MessageTarget;
}

// Fetches one document over plain HTTP (directly or through the configured proxy with its
// login), with the configured time-out and number of attempts, and keeps it in memory.
// A download is bounded: in size, in the time of one attempt, and by the user's stop,
// which ends a running transfer within a second.
// Status codes go to the main frame (message 11904) when a frame target is given.
class CUpDateXml {
public:
    static const size_t kDefaultMaxDocumentBytes = 32u << 20;

    explicit CUpDateXml(platform::MessageTarget* frame = nullptr) : frame_(frame) {}

    static constexpr int kNotModified = 3;

    // 1 document received (now in Buffer), 2 stopped by the user, 0 failed, kNotModified
    // when the server answered 304 to the validators given. In import mode the stop flag
    // is ignored and the log texts name no channel.
    int DownLoadXmlbuf(const std::wstring& address, int importMode);

    const std::string& Buffer() const { return buffer_; }
    void SetChannel(CChannel* channel) { channel_ = channel; }
    // Sent as If-None-Match / If-Modified-Since; empty sends none.
    void SetValidators(const HttpValidators& validators) { requestValidators_ = validators; }
    // Of the last download that received a document (or was not modified); empty otherwise.
    const HttpValidators& ResponseValidators() const { return responseValidators_; }
    // Why the last download failed, in a few English words ("HTTP 404", "timed out", ...);
    // empty after a success.
    const std::string& FailureReason() const { return failure_; }
    // A document larger than maxBytes fails; an attempt that runs longer than totalMs ends
    // (0: four times the configured time-out).
    void SetLimits(size_t maxBytes, long totalMs) {
        maxDocumentBytes_ = maxBytes;
        totalTimeoutMs_ = totalMs;
    }

private:
    int Download(const std::wstring& address, bool importMode);
    void PostStatus(unsigned code);

    platform::MessageTarget* frame_;
    CChannel* channel_ = nullptr;
    std::string buffer_;
    std::string failure_;
    HttpValidators requestValidators_;
    HttpValidators responseValidators_;
    size_t maxDocumentBytes_ = kDefaultMaxDocumentBytes;
    long totalTimeoutMs_ = 0;
};
