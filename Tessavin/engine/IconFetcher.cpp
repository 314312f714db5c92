#include "engine/IconFetcher.h"

#include "engine/IconFormat.h"
#include "engine/PageHead.h"
#include "engine/UpDateXml.h"
#include "engine/WebAddress.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <gumbo.h>
#include <string_view>

namespace {

const size_t kMaxAddressBytes = 2048;
// Elements looked at on a page: the rest of a page larger than this is passed over.
const size_t kMaxElements = 100000;

std::string Attribute(const GumboElement& e, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&e.attributes, name);
    return a && std::strlen(a->value) <= kMaxAddressBytes ? std::string(a->value) : std::string();
}

std::string WebOnly(const std::string& base, const std::string& address) {
    return address.empty() ? std::string() : WebAddress::ForPage(base, address, false);
}

} // namespace

std::vector<std::string> IconFetcher::PageIcons(const std::string& html,
                                                const std::string& pageAddress) {
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // errors copy the parser's stack: memory with the square of depth
    // Only the head is parsed: the parser has no depth limit, and a page of deeply nested
    // elements would take it minutes.
    GumboOutput* output = gumbo_parse_with_options(&options, html.data(), PageHead::Length(html));
    if (!output)
        return {};
    std::string base, icon, touchIcon;
    // Walked with a stack of its own: a page nested deep cannot exhaust the thread's.
    std::vector<const GumboNode*> stack{output->root};
    size_t seen = 0;
    while (!stack.empty() && ++seen <= kMaxElements) {
        const GumboNode* node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT)
            continue;
        const GumboElement& e = node->v.element;
        if (e.tag == GUMBO_TAG_BASE && base.empty()) {
            base = WebOnly(pageAddress, Attribute(e, "href"));
        } else if (e.tag == GUMBO_TAG_LINK) {
            const std::string rel = Attribute(e, "rel");
            if (icon.empty() && PageHead::HasRelToken(rel, "icon"))
                icon = Attribute(e, "href");
            else if (touchIcon.empty() && PageHead::HasRelToken(rel, "apple-touch-icon"))
                touchIcon = Attribute(e, "href");
        }
        // Children pushed last first, so that they come off in document order.
        for (unsigned i = e.children.length; i > 0; --i)
            stack.push_back(static_cast<const GumboNode*>(e.children.data[i - 1]));
    }
    gumbo_destroy_output(&options, output);
    // A link before the <base> is resolved against it too, as a browser does.
    const std::string against = base.empty() ? pageAddress : base;
    std::vector<std::string> found;
    for (const std::string* href : {&icon, &touchIcon}) {
        const std::string address = WebOnly(against, *href);
        if (!address.empty())
            found.push_back(address);
    }
    return found;
}

bool IconFetcher::Download(const std::string& address, size_t maxBytes, std::string& body,
                           std::string* finalAddress) {
    if (address.empty() || (stop_ && stop_->Any()) ||
        std::find(tried_.begin(), tried_.end(), address) != tried_.end())
        return false;
    tried_.push_back(address);
    CUpDateXml downloader;
    downloader.SetStopToken(stop_);
    downloader.SetBinary(true);
    downloader.SetLimits(maxBytes, 0);
    if (downloader.DownLoadXmlbuf(platform::Utf8ToWide(address), 0) != 1)
        return false;
    body = downloader.Buffer();
    if (finalAddress)
        *finalAddress = downloader.FinalAddress();
    return true;
}

bool IconFetcher::TryIcon(const std::string& address, std::string& icon) {
    std::string body;
    if (!Download(address, IconFormat::kMaxBytes, body, nullptr) || !IconFormat::Acceptable(body))
        return false;
    icon = std::move(body);
    return true;
}

bool IconFetcher::Fetch(const std::string& feedAddress, const FeedAddresses& addresses,
                        std::string& icon) {
    tried_.clear();
    if (TryIcon(addresses.icon, icon))
        return true;
    std::string page, pageAddress;
    if (Download(addresses.site, kMaxPageBytes, page, &pageAddress))
        for (const std::string& address : PageIcons(page, pageAddress))
            if (TryIcon(address, icon))
                return true;
    const std::string& host = addresses.site.empty() ? feedAddress : addresses.site;
    return WebAddress::IsWeb(host) && TryIcon(WebAddress::Resolve(host, "/favicon.ico"), icon);
}
