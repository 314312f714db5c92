#include "reader/PageCalls.h"

#include "platform/CodePage.h"

#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace {

// 128 random bits as hex: from the system's random source, else the library's.
std::string RandomToken() {
    unsigned char bytes[16] = {};
    bool read = false;
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        read = ::read(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
        ::close(fd);
    }
    if (!read) {
        std::random_device device;
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(device());
    }
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token.push_back(kHex[b >> 4]);
        token.push_back(kHex[b & 15]);
    }
    return token;
}

// A decimal number of at most 9 digits, with an optional '-'.
bool ReadNumber(const std::string& text, size_t begin, size_t end, long& value) {
    size_t i = begin;
    const bool negative = i < end && text[i] == '-';
    if (negative)
        ++i;
    if (i >= end || end - i > 9)
        return false;
    long v = 0;
    for (; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

} // namespace

const std::string& PageCalls::NewLoad() {
    token_ = RandomToken();
    queue_.clear();
    reloadWanted_ = false;
    reloadDone_ = false;
    return token_;
}

PageCalls::Result PageCalls::Receive(const std::string& message, uint64_t nowMs) {
    size_t space[4];
    size_t from = 0;
    for (size_t& s : space) {
        s = message.find(' ', from);
        if (s == std::string::npos)
            return Result::kIgnored;
        from = s + 1;
    }
    long scroll = 0, page = 0;
    const char mark = space[2] + 1 < message.size() ? message[space[2] + 1] : ' ';
    if (token_.empty() || space[0] != token_.size() || message.compare(0, space[0], token_) != 0 ||
        !ReadNumber(message, space[0] + 1, space[1], scroll) ||
        !ReadNumber(message, space[1] + 1, space[2], page) ||
        (mark == '-' ? space[3] != space[2] + 2 : mark != '='))
        return Result::kIgnored; // not from this load
    scroll_ = scroll < 0 ? 0 : scroll;
    pageIndex_ = page < 0 ? 0 : static_cast<int>(page);
    if (space[3] + 1 == message.size())
        return Result::kNote;
    // Calls over the rate or beyond the queue are refused.
    if (nowMs > lastMs_) {
        allowance_ += static_cast<double>(nowMs - lastMs_) * kPerSecond / 1000.0;
        if (allowance_ > kBurst)
            allowance_ = kBurst;
    }
    lastMs_ = nowMs;
    if (allowance_ < 1.0 || queue_.size() >= kMaxQueued) {
        Refuse();
        return Result::kRefused;
    }
    allowance_ -= 1.0;
    PageCall call;
    call.call = message.substr(space[3] + 1);
    call.namesItem = mark == '=';
    if (call.namesItem)
        call.itemLink =
            platform::PercentDecode(message.substr(space[2] + 2, space[3] - space[2] - 2));
    queue_.push_back(std::move(call));
    return Result::kQueued;
}

bool PageCalls::Next(PageCall& call) {
    if (queue_.empty())
        return false;
    call = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool PageCalls::TakeReload() {
    if (!reloadWanted_ || reloadDone_)
        return false;
    reloadDone_ = true;
    return true;
}
