#include "engine/UpDateXml.h"

#include "catalogue/Channel.h"
#include "config/Config.h"
#include "config/LogFile.h"
#include "engine/Messages.h"
#include "platform/CodePage.h"
#include "platform/MessageTarget.h"

#include <cctype>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Handles of finished downloads, kept for the next downloads: a handle made once is not set
// up again for every channel (its caches stay, its options are reset). Connections are not
// kept (each download closes its own, as a fresh handle would), so no idle connection holds
// a server's worker. The lock is a leaf: nothing else is taken while it is held.
class HandlePool {
public:
    static const size_t kKept = 32; // the pool's most busy workers, and a few more

    // A handle with every option reset, or a fresh one.
    static CURL* Take() {
        CURL* h = nullptr;
        {
            std::lock_guard<std::mutex> guard(Shared().lock);
            if (!Shared().free.empty()) {
                h = Shared().free.back();
                Shared().free.pop_back();
            }
        }
        if (h)
            curl_easy_reset(h);
        else
            h = curl_easy_init();
        if (h)
            curl_easy_setopt(h, CURLOPT_FORBID_REUSE, 1L);
        return h;
    }
    static void Give(CURL* h) {
        {
            std::lock_guard<std::mutex> guard(Shared().lock);
            if (Shared().free.size() < kKept) {
                Shared().free.push_back(h);
                return;
            }
        }
        curl_easy_cleanup(h);
    }

private:
    struct State {
        std::mutex lock;
        std::vector<CURL*> free;
        ~State() {
            for (CURL* h : free)
                curl_easy_cleanup(h);
        }
    };
    static State& Shared() {
        static State state;
        return state;
    }
};

struct ReturnHandle {
    void operator()(CURL* h) const { HandlePool::Give(h); }
};
struct UrlDeleter {
    void operator()(CURLU* h) const { curl_url_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

const char kUserAgent[] = "Tessavin/" TESSAVIN_VERSION;

// Why a transfer was ended from one of its callbacks.
enum class Abort { kNone, kIdle, kTotalTime, kTooLarge, kStopped, kDowngrade };

// The CA file set by CUpDateXml::SetCaFile; empty for the system's store.
struct CaSetting {
    std::mutex mutex;
    std::string file;
};
CaSetting& CaStore() {
    static CaSetting setting;
    return setting;
}
std::string CaFile() {
    std::lock_guard<std::mutex> lock(CaStore().mutex);
    return CaStore().file;
}

// Whether a failed certificate check failed on the name, by the verification result
// (OpenSSL's X509_V_ERR_* codes): 62 host name and 64 IP address mismatch. The transfer
// checks the name itself before it stores the chain's result; when that check fails the
// result keeps its initial value, 1, or 0.
bool IsNameMismatch(long verifyResult) {
    return verifyResult == 0 || verifyResult == 1 || verifyResult == 62 || verifyResult == 64;
}

// What one send of the request brought back.
struct Transfer {
    bool statusArrived = false; // a status line came back
    std::string body;           // the body as read, without zero bytes
    Clock::time_point lastData; // for the receive time-out
    Clock::time_point started;  // for the time cap of the whole attempt
    long receiveTimeoutMs = 0;
    long totalTimeoutMs = 0;
    size_t received = 0; // body bytes of the current response
    size_t maxBytes = 0;
    bool keepZeros = false;          // a binary body (an image) is taken as it comes
    const StopToken* stop = nullptr; // its requests end the transfer (null: none)
    Abort abort = Abort::kNone;
    CURL* handle = nullptr;
    bool sawHttps = false; // a request of this transfer went over https
    std::string etag;      // validators of the current response
    std::string lastModified;
};

// "Name:" at the start of a header line, any case.
bool HeaderIs(const char* data, size_t n, const char* name) {
    const size_t len = std::strlen(name);
    if (n <= len || data[len] != ':')
        return false;
    for (size_t i = 0; i < len; ++i)
        if (std::tolower(static_cast<unsigned char>(data[i])) != name[i])
            return false;
    return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    t->lastData = Clock::now();
    if (n >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
        // A new response (also after a followed redirect) starts over.
        t->statusArrived = true;
        t->body.clear();
        t->received = 0;
        t->etag.clear();
        t->lastModified.clear();
    } else if (HeaderIs(data, n, "etag")) {
        t->etag = HttpValidators::CleanValue(std::string(data + 5, n - 5));
    } else if (HeaderIs(data, n, "last-modified")) {
        t->lastModified = HttpValidators::CleanValue(std::string(data + 14, n - 14));
    }
    return n;
}

// Called before each request of the transfer is sent, redirects included: once a request
// went over https, none may follow over plain http.
int OnBeforeRequest(void* user, char*, char*, int, int) {
    auto* t = static_cast<Transfer*>(user);
    char* url = nullptr;
    curl_easy_getinfo(t->handle, CURLINFO_EFFECTIVE_URL, &url);
    const bool https = url && platform::AsciiLower(std::string(url).substr(0, 8)) == "https://";
    if (!https && t->sawHttps) {
        t->abort = Abort::kDowngrade;
        return CURL_PREREQFUNC_ABORT;
    }
    t->sawHttps |= https;
    return CURL_PREREQFUNC_OK;
}

// Zero bytes are dropped, each alone: a document is text, and a stray zero must not cut
// off what follows it (the document would then never be complete).
void AppendWithoutZeros(Transfer& t, const char* data, size_t n) {
    while (n > 0) {
        const void* zero = std::memchr(data, '\0', n);
        const size_t keep = zero ? static_cast<size_t>(static_cast<const char*>(zero) - data) : n;
        t.body.append(data, keep);
        const size_t used = zero ? keep + 1 : keep;
        data += used;
        n -= used;
    }
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    t->lastData = Clock::now();
    t->received += n;
    if (t->maxBytes > 0 && t->received > t->maxBytes) {
        t->abort = Abort::kTooLarge;
        return 0; // ends the transfer
    }
    if (t->keepZeros)
        t->body.append(data, n);
    else
        AppendWithoutZeros(*t, data, n);
    return n;
}

long MillisecondsSince(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

// Called by the transfer at least once a second, also while nothing arrives.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (t->stop && t->stop->Any())
        t->abort = Abort::kStopped;
    else if (t->receiveTimeoutMs > 0 && MillisecondsSince(t->lastData) >= t->receiveTimeoutMs)
        t->abort = Abort::kIdle; // no data for the time-out
    else if (t->totalTimeoutMs > 0 && MillisecondsSince(t->started) >= t->totalTimeoutMs)
        t->abort = Abort::kTotalTime; // a server that trickles
    return t->abort == Abort::kNone ? 0 : 1;
}

// If-None-Match and If-Modified-Since for the validators given (null for none).
curl_slist* ValidatorHeaders(const HttpValidators& validators) {
    curl_slist* list = nullptr;
    if (!validators.etag.empty())
        list = curl_slist_append(list, ("If-None-Match: " + validators.etag).c_str());
    if (!validators.lastModified.empty())
        list = curl_slist_append(list, ("If-Modified-Since: " + validators.lastModified).c_str());
    return list;
}

} // namespace

// One download: the address, the settings it goes by, and the transfer's handles (in this
// order, so that the handle goes before the address it points to).
struct CUpDateXml::Session {
    Session(bool import, const StopToken* token) : importMode(import), stop(token) {}
    // In import mode the user's stop is ignored.
    bool Stopped() const { return !importMode && stop && stop->Stopped(); }

    const bool importMode;
    const StopToken* stop;
    CConfig config;
    std::string address; // as UTF-8
    std::wstring server; // the host, for the log
    bool allowHttps = false;
    bool useProxy = false;
    bool conditional = false; // validators are sent
    long timeoutMs = 0;
    std::unique_ptr<CURLU, UrlDeleter> url;
    std::unique_ptr<CURL, ReturnHandle> handle;
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    Transfer transfer;
    CURLcode result = CURLE_OK; // of the last send
};

void CUpDateXml::SetCaFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(CaStore().mutex);
    CaStore().file = path;
}

void CUpDateXml::PostStatus(unsigned code) {
    if (frame_)
        frame_->Post(kMsgStatus, code, 0);
}

int CUpDateXml::DownLoadXmlbuf(const std::wstring& address, int importMode) {
    try {
        return Download(address, importMode != 0);
    } catch (...) {
        LogPrintf(L"Exception in %s, %d", L"UpDateXml", __LINE__);
        return 0;
    }
}

int CUpDateXml::Download(const std::wstring& address, bool importMode) {
    failure_.clear();
    finalAddress_.clear();
    contentType_.clear();
    responseValidators_ = HttpValidators();
    Session s(importMode, stop_);
    if (s.Stopped())
        return 2;
    InitCurlOnce();
    if (!ReadAddress(address, s))
        return 0;
    // Each step returns kGoOn, or how the download ends.
    int result = OpenSession(s);
    if (result == kGoOn)
        result = SetRequest(s);
    if (result == kGoOn)
        result = SetTransfer(s);
    if (result == kGoOn)
        result = Send(s);
    if (result == kGoOn)
        result = CheckStatus(s);
    return result == kGoOn ? TakeDocument(s) : result;
}

// The address: service type and server; only http, or https with the switch on.
bool CUpDateXml::ReadAddress(const std::wstring& address, Session& s) {
    s.url.reset(curl_url());
    s.address = platform::WideToUtf8(address);
    if (!s.url || curl_url_set(s.url.get(), CURLUPART_URL, s.address.c_str(), 0) != CURLUE_OK) {
        LogPrintf(L"Failed to parse URL");
        failure_ = "bad address";
        PostStatus(kStatusBadAddress);
        return false;
    }
    char* schemePart = nullptr;
    char* hostPart = nullptr;
    curl_url_get(s.url.get(), CURLUPART_SCHEME, &schemePart, 0);
    curl_url_get(s.url.get(), CURLUPART_HOST, &hostPart, 0);
    const std::string scheme = schemePart ? platform::AsciiLower(schemePart) : std::string();
    s.server = platform::Utf8ToWide(hostPart ? hostPart : "");
    curl_free(schemePart);
    curl_free(hostPart);
    s.allowHttps = s.config.ReadAllowHttps() == 1;
    if (scheme != "http" && !(scheme == "https" && s.allowHttps)) {
        LogPrintf(L"Invalidate URL");
        failure_ = "address not http";
        PostStatus(kStatusBadAddress);
        return false;
    }
    return true;
}

// The session: direct or through the proxy "host:port", for the address's protocols.
int CUpDateXml::OpenSession(Session& s) {
    s.useProxy = s.config.ReadProxyState() != 0;
    std::string proxy;
    if (s.useProxy) {
        std::wstring proxyAddress = s.config.ReadProxyAddress();
        int proxyPort = s.config.ReadProxyPort();
        if (proxyAddress.empty() || proxyPort == 0) {
            LogPrintf(L"Failed to set Internet proxy information");
            failure_ = "proxy not set";
            return 0;
        }
        proxy = platform::WideToUtf8(proxyAddress) + ":" + std::to_string(proxyPort);
    }
    s.handle.reset(HandlePool::Take());
    CURL* h = s.handle.get();
    if (!h || curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_PROXY, s.useProxy ? proxy.c_str() : "") != CURLE_OK) {
        LogPrintf(L"Failed to create internet session");
        return 0;
    }
    const char* protocols = s.allowHttps ? "http,https" : "http";
    if (curl_easy_setopt(h, CURLOPT_CURLU, s.url.get()) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocols) != CURLE_OK) {
        LogPrintf(L"Failed to create internet connection");
        return 0;
    }
    return s.Stopped() ? 2 : kGoOn;
}

// GET with keep-alive; redirects are followed to http addresses only, at most 5. With
// https allowed they may also lead from http to https, never back (OnBeforeRequest). The
// proxy's login, when a proxy is used.
int CUpDateXml::SetRequest(Session& s) {
    CURL* h = s.handle.get();
    const char* redirectProtocols = s.allowHttps ? "http,https" : "http";
    if (curl_easy_setopt(h, CURLOPT_HTTPGET, 1L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, redirectProtocols) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L) != CURLE_OK) {
        LogPrintf(L"Failed to create internet request");
        return 0;
    }
    if (s.Stopped())
        return 2;
    if (!s.useProxy)
        return kGoOn;
    std::string userName = platform::WideToUtf8(s.config.ReadUserName());
    std::string password = platform::WideToUtf8(s.config.ReadUserPassword());
    curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
    if (!userName.empty() &&
        curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, userName.c_str()) != CURLE_OK) {
        LogPrintf(L"Failed to set Internet proxy user name");
        return 0;
    }
    if (!password.empty() &&
        curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, password.c_str()) != CURLE_OK) {
        LogPrintf(L"Failed to set Internet proxy user password");
        return 0;
    }
    return kGoOn;
}

// The time-out, the request's headers, the certificate checks and the callbacks.
int CUpDateXml::SetTransfer(Session& s) {
    CURL* h = s.handle.get();
    // One time-out, LinkTime x 500 ms, for connecting and for receiving.
    s.timeoutMs = static_cast<long>(s.config.ReadLinkTime()) * 500;
    if (curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, s.timeoutMs) != CURLE_OK) {
        LogPrintf(L"Failed to set Internet connect timeout");
        return 0;
    }
    // Compressed bodies, and the validators of the last download: the server may answer
    // 304 instead of sending the document again.
    s.conditional = !requestValidators_.Empty();
    if (s.conditional)
        s.headers.reset(ValidatorHeaders(requestValidators_));
    const std::string caFile = CaFile();
    if (curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip, deflate") != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_HTTPHEADER, s.headers.get()) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L) != CURLE_OK ||
        (!caFile.empty() && curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str()) != CURLE_OK) ||
        curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, OnBeforeRequest) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_PREREQDATA, &s.transfer) != CURLE_OK) {
        LogPrintf(L"Failed to create internet request");
        return 0;
    }
    if (curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &s.transfer) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_HEADERDATA, &s.transfer) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody) != CURLE_OK ||
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &s.transfer) != CURLE_OK) {
        LogPrintf(L"Failed to set Internet receive timeout");
        return 0;
    }
    return kGoOn;
}

// At most LinkNum + 1 sends; a send fails when no status came back. The user's stop ends
// the sends, before each one and within one.
int CUpDateXml::Send(Session& s) {
    const int limit = s.config.ReadLinkNum();
    for (int attempts = 0;; ++attempts) {
        if (attempts > limit) {
            LogPrintf(L"Beyond the maximum connection times set by configuration files");
            if (failure_.empty())
                failure_ = "no answer from the server";
            return 0;
        }
        if (s.Stopped())
            return 2;
        Transfer& t = s.transfer;
        t = Transfer();
        t.receiveTimeoutMs = s.timeoutMs;
        t.totalTimeoutMs = totalTimeoutMs_ > 0 ? totalTimeoutMs_ : 4 * s.timeoutMs;
        t.maxBytes = maxDocumentBytes_;
        t.keepZeros = binary_;
        t.stop = s.importMode ? nullptr : s.stop;
        t.started = t.lastData = Clock::now();
        t.handle = s.handle.get();
        s.result = curl_easy_perform(s.handle.get());
        const int ended = CheckSend(s);
        if (ended != kGoOn)
            return ended;
        if (t.statusArrived) {
            PostStatus(kStatusRequestSent);
            return kGoOn;
        }
        LogPrintf(L"Failed to send request to web server %s", s.server.c_str());
        failure_ = t.abort != Abort::kNone ? "timed out" : "no answer from the server";
    }
}

// A send that must not be repeated: stopped, a redirect down to http, a certificate
// refused (it does not change between attempts), a document past the size limit.
int CUpDateXml::CheckSend(Session& s) {
    const Abort abort = s.transfer.abort;
    if (abort == Abort::kStopped)
        return 2;
    if (abort == Abort::kDowngrade) {
        LogPrintf(L"Refused a redirect from https to http for server %s", s.server.c_str());
        failure_ = "redirect from https to http";
        return 0;
    }
    if (s.result == CURLE_PEER_FAILED_VERIFICATION) {
        long verify = 0;
        curl_easy_getinfo(s.handle.get(), CURLINFO_SSL_VERIFYRESULT, &verify);
        if (!IsNameMismatch(verify)) {
            LogPrintf(L"The certificate of server %s is not trusted", s.server.c_str());
            failure_ = "untrusted certificate";
        } else {
            LogPrintf(L"The certificate of server %s is for another name", s.server.c_str());
            failure_ = "certificate name mismatch";
        }
        return 0;
    }
    if (abort == Abort::kTooLarge) {
        LogPrintf(L"The document from server %s is larger than %lld bytes", s.server.c_str(),
                  static_cast<long long>(maxDocumentBytes_));
        failure_ = "document too large";
        return 0;
    }
    return kGoOn;
}

// The response's status: 200 goes on; 304 to validators sent ends as not modified.
int CUpDateXml::CheckStatus(Session& s) {
    long status = 0;
    if (curl_easy_getinfo(s.handle.get(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK ||
        status == 0) {
        LogPrintf(L"Failed to get internet status code");
        failure_ = "no status from the server";
        return 0;
    }
    if (status == 304 && s.conditional && s.result == CURLE_OK) {
        const std::wstring name = channel_ ? channel_->GetName() : std::wstring();
        PostStatus(kStatusRequestSent);
        PostStatus(kStatusDocumentReceived);
        LogPrintf(L"The document of channel %s is not modified", name.c_str());
        responseValidators_ = requestValidators_;
        return kNotModified;
    }
    if (status != 200)
        failure_ = "HTTP " + std::to_string(status);
    if (status == 404) {
        LogPrintf(L"The server %s has not found anything matching the requested URI (Uniform "
                  L"Resource Identifier)",
                  s.server.c_str());
        return 0;
    }
    if (status == 407) {
        PostStatus(kStatusProxyAuthentication);
        LogPrintf(L"Failed to set proxy info");
        return 0;
    }
    if (status != 200) {
        LogPrintf(L"Other web error in CUpDateXml::DownLoadXmlbuf()");
        return 0;
    }
    return kGoOn;
}

// The body of a 200 becomes the document, with the response's validators.
int CUpDateXml::TakeDocument(Session& s) {
    PostStatus(kStatusRequestSent);
    const std::wstring name = channel_ ? channel_->GetName() : std::wstring();
    if (s.importMode)
        LogPrintf(L"Secceed to connect web server for download feed file");
    else
        LogPrintf(L"Secceed to connect web server for %s", name.c_str());

    Transfer& t = s.transfer;
    if (s.result != CURLE_OK) {
        failure_ = t.abort != Abort::kNone ? "timed out" : "download failed";
        PostStatus(kStatusReadFailed);
        if (s.importMode)
            LogPrintf(L"Failed to download feed xml data stream from web server");
        else
            LogPrintf(L"Failed to download the xml data stream for channel %s", name.c_str());
        return 0;
    }
    if (t.body.empty()) {
        failure_ = "empty document";
        PostStatus(kStatusEmptyDocument);
        LogPrintf(L"The xml buffer is empty");
        return 0;
    }
    buffer_ = std::move(t.body);
    char* effective = nullptr;
    curl_easy_getinfo(s.handle.get(), CURLINFO_EFFECTIVE_URL, &effective);
    finalAddress_ = effective ? effective : s.address;
    char* type = nullptr;
    curl_easy_getinfo(s.handle.get(), CURLINFO_CONTENT_TYPE, &type);
    contentType_ = type ? type : "";
    responseValidators_.url = s.address;
    responseValidators_.etag = std::move(t.etag);
    responseValidators_.lastModified = std::move(t.lastModified);
    PostStatus(kStatusDocumentReceived);
    if (s.importMode)
        LogPrintf(L"Succeed to download feed xml data stream from web server");
    else
        LogPrintf(L"Succeed to download xml data stream from web server for channel %s",
                  name.c_str());
    return 1;
}
