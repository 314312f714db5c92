#pragma once

#include <string>

// Addresses found in feed text, read as a browser reads them inside a page whose base is
// a web address.
class WebAddress {
public:
    // The address without what a browser strips: leading and trailing blanks and control
    // characters, and every tab and line break inside.
    static std::string Clean(const std::string& address);
    // The lower-case scheme of an absolute address ("http"), empty for a relative one.
    static std::string Scheme(const std::string& address);
    // An http or https address.
    static bool IsWeb(const std::string& address);
    // An address that starts with "http://" or "https://" in any case: the only links that
    // the reader opens in a page of its own.
    static bool IsWebLink(const std::string& address);
    // reference resolved against base; the reference itself when it is absolute or when
    // either cannot be read.
    static std::string Resolve(const std::string& base, const std::string& reference);
    // What a feed's address attribute may stand for on a page: an http, https (and, with
    // allowMail, mailto) address, relative ones resolved against base (backslashes read as
    // slashes, as for any web address); empty when it is none of these.
    static std::string ForPage(const std::string& base, const std::string& address, bool allowMail);
};
