#include "engine/WebAddress.h"

#include <cctype>
#include <curl/curl.h>
#include <memory>

namespace {

struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

bool IsStrippedEdge(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

} // namespace

std::string WebAddress::Clean(const std::string& address) {
    size_t begin = 0, end = address.size();
    while (begin < end && IsStrippedEdge(address[begin]))
        ++begin;
    while (end > begin && IsStrippedEdge(address[end - 1]))
        --end;
    std::string out;
    out.reserve(end - begin);
    for (size_t i = begin; i < end; ++i)
        if (address[i] != '\t' && address[i] != '\n' && address[i] != '\r')
            out.push_back(address[i]);
    return out;
}

std::string WebAddress::Scheme(const std::string& address) {
    if (address.empty() || !std::isalpha(static_cast<unsigned char>(address[0])))
        return std::string();
    std::string scheme;
    for (char c : address) {
        if (c == ':')
            return scheme;
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return std::string();
        scheme.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return std::string();
}

bool WebAddress::IsWeb(const std::string& address) {
    const std::string scheme = Scheme(address);
    return scheme == "http" || scheme == "https";
}

bool WebAddress::IsWebLink(const std::string& address) {
    std::string head = address.substr(0, 8);
    for (char& c : head)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return head.rfind("http://", 0) == 0 || head.rfind("https://", 0) == 0;
}

std::string WebAddress::Resolve(const std::string& base, const std::string& reference) {
    if (!Scheme(reference).empty() || base.empty())
        return reference;
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    char* resolved = nullptr;
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, reference.c_str(), 0) != CURLUE_OK ||
        curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK)
        return reference;
    std::string out = resolved;
    curl_free(resolved);
    return out;
}

std::string WebAddress::ForPage(const std::string& base, const std::string& address,
                                bool allowMail) {
    std::string clean = Clean(address);
    const std::string scheme = Scheme(clean);
    if (scheme == "http" || scheme == "https")
        // "http:x" and "http:/x" are read differently by different readers: only whole ones.
        return clean.compare(scheme.size() + 1, 2, "//") == 0 ? clean : std::string();
    if (allowMail && scheme == "mailto")
        return clean;
    if (!scheme.empty() || !IsWeb(base))
        return std::string();
    for (char& c : clean)
        if (c == '\\')
            c = '/';
    // An empty address or a bare fragment stands for the base itself.
    std::string resolved;
    if (clean.empty() || clean[0] == '#')
        resolved = base.substr(0, base.find('#')) + clean;
    else
        resolved = Resolve(base, clean);
    return IsWeb(resolved) ? resolved : std::string();
}
