#pragma once

#include "engine/HttpValidators.h"
#include "engine/StopToken.h"

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
    // when the server answered 304 to the validators given. In import mode the stop token
    // is ignored and the log texts name no channel.
    int DownLoadXmlbuf(const std::wstring& address, int importMode);

    const std::string& Buffer() const { return buffer_; }
    void SetChannel(CChannel* channel) { channel_ = channel; }
    // The requests that end a running transfer (none by default).
    void SetStopToken(const StopToken* token) { stop_ = token; }
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
    // A file of CA certificates (PEM) that https downloads trust instead of the system's
    // store; empty (the default) is the system's store. Process-wide, for tests and
    // loopback servers with a CA of their own; set it while no download runs.
    static void SetCaFile(const std::string& path);
    // Keeps zero bytes in the body (images); by default they are dropped one by one, as a
    // document is text.
    void SetBinary(bool binary) { binary_ = binary; }
    // Where the last received document came from, after redirects; empty otherwise.
    const std::string& FinalAddress() const { return finalAddress_; }
    // The Content-Type of the last received document; empty when it had none.
    const std::string& ContentType() const { return contentType_; }

private:
    struct Session;
    // What a step of the download returns when the download goes on.
    static constexpr int kGoOn = -1;

    int Download(const std::wstring& address, bool importMode);
    bool ReadAddress(const std::wstring& address, Session& s);
    int OpenSession(Session& s);
    int SetRequest(Session& s);
    int SetTransfer(Session& s);
    int Send(Session& s);
    int CheckSend(Session& s);
    int CheckStatus(Session& s);
    int TakeDocument(Session& s);
    void PostStatus(unsigned code);

    platform::MessageTarget* frame_;
    CChannel* channel_ = nullptr;
    const StopToken* stop_ = nullptr;
    std::string buffer_;
    std::string failure_;
    std::string finalAddress_;
    std::string contentType_;
    HttpValidators requestValidators_;
    HttpValidators responseValidators_;
    size_t maxDocumentBytes_ = kDefaultMaxDocumentBytes;
    long totalTimeoutMs_ = 0;
    bool binary_ = false;
};
