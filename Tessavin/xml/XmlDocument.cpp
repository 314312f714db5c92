#include "xml/XmlDocument.h"

#include "platform/CodePage.h"
#include "platform/File.h"

#include <cstring>

namespace {

const size_t npos = std::string::npos;

struct CharClass {
    bool space[256] = {};
    bool delimiter[256] = {};
    CharClass() {
        for (unsigned char c : {' ', '\t', '\n', '\r'})
            space[c] = delimiter[c] = true;
        for (unsigned char c : {'<', '>', '=', '\\', '/', '?', '!'})
            delimiter[c] = true;
    }
};
const CharClass kClass;

bool IsSpace(char c) {
    return kClass.space[static_cast<unsigned char>(c)];
}
bool IsDelimiter(char c) {
    return kClass.delimiter[static_cast<unsigned char>(c)];
}

std::string WithName(const char* message, const std::string& name) {
    std::string out(message);
    size_t p = out.find("%s");
    if (p != npos)
        out.replace(p, 2, name);
    return out;
}

std::string DeclaredEncoding(const std::string& document) {
    if (document.compare(0, 5, "<?xml") != 0)
        return std::string();
    const size_t end = document.find("?>");
    const size_t at = document.find("encoding", 5);
    if (end == std::string::npos || at == std::string::npos || at > end)
        return std::string();
    size_t p = document.find_first_not_of(" \t\r\n", at + 8);
    if (p == std::string::npos || document[p] != '=')
        return std::string();
    p = document.find_first_not_of(" \t\r\n", p + 1);
    if (p == std::string::npos || (document[p] != '"' && document[p] != '\''))
        return std::string();
    const size_t close = document.find(document[p], p + 1);
    if (close == std::string::npos || close > end)
        return std::string();
    return platform::AsciiLower(document.substr(p + 1, close - p - 1));
}

} // namespace

CXmlDocument::CXmlDocument() {
    SetText(nullptr);
}

CXmlDocument::~CXmlDocument() = default;

void CXmlDocument::Reset() {
    tooDeep_ = false;
    freePos_ = 1;
    parentPos_ = currentPos_ = childPos_ = 0;
    currentKind_ = 0;
}

bool CXmlDocument::LoadFile(const std::string& path) {
    platform::File file;
    std::string content;
    if (!file.Open(platform::Utf8ToWide(path), platform::File::kRead) || !file.ReadToEnd(content) ||
        content.empty()) {
        SetText(nullptr);
        return false;
    }
    file.Close();
    if (!SetText(content)) {
        std::string error = errorText_;
        SetText(nullptr);
        errorText_ = error;
        return false;
    }
    return true;
}

bool CXmlDocument::SetText(const char* text) {
    return SetText(std::string(text ? text : ""));
}

bool CXmlDocument::SetText(const std::string& text) {
    return SetText(std::string(text));
}

bool CXmlDocument::SetText(std::string&& text) {
    Reset();
    text_ = std::move(text);
    const size_t wanted = text_.size() / 64 + 8;
    if (records_.size() < wanted)
        records_.resize(wanted);
    records_[0] = ElementRecord();
    if (text_.empty())
        return false;
    long root = ParseElement(0, 1);
    if (root > 0) {
        records_[0].firstChild = static_cast<uint32_t>(root);
        const uint32_t used = freePos_;
        Reset();
        freePos_ = used;
        return true;
    }
    records_[0] = ElementRecord();
    Reset();
    return false;
}

inline bool CXmlDocument::NextToken(Token& t) const {
    size_t pos = t.next;
    const size_t size = text_.size();
    while (pos < size && IsSpace(text_[pos]))
        ++pos;
    t.quoted = false;
    if (pos >= size) {
        t.first = t.last = t.next = pos;
        return false;
    }
    const char c = text_[pos];
    if (c == '"' || c == '\'') {
        t.quoted = true;
        t.first = pos + 1;
        size_t close = text_.find(c, t.first);
        if (close == npos) {
            t.last = size - 1;
            t.next = size;
        } else {
            t.last = close - 1;
            t.next = close + 1;
        }
        return true;
    }
    t.first = pos;
    if (IsDelimiter(c)) {
        t.next = pos + 1;
    } else {
        while (pos < size && !IsDelimiter(text_[pos]))
            ++pos;
        t.next = pos;
    }
    t.last = t.next - 1;
    return true;
}

inline bool CXmlDocument::TokenIs(const Token& t, char c) const {
    return !t.quoted && t.first == t.last && text_[t.first] == c;
}

bool CXmlDocument::TokenMatches(const Token& t, const char* name) const {
    const size_t length = t.Length();
    if (std::strncmp(name, text_.data() + t.first, length) != 0 || std::strlen(name) < length)
        return false;
    const char after = name[length];
    return after == '\0' || after == ' ' || after == '=' || after == '/' || after == '[';
}

bool CXmlDocument::EndTagMatches(const Token& t, const Token& name) const {
    // As TokenMatches(t, name as a C string): the name counts up to a NUL byte in it, and a
    // shorter end tag matches a name that goes on with NUL or '['.
    const size_t length = t.Length();
    const char* const start = text_.data() + name.first;
    if (length > name.Length() || std::memchr(start, '\0', length) != nullptr ||
        std::memcmp(start, text_.data() + t.first, length) != 0)
        return false;
    return length == name.Length() || start[length] == '\0' || start[length] == '[';
}

int CXmlDocument::ScanNode(size_t lt, size_t& end) const {
    const size_t size = text_.size();
    if (lt + 1 >= size || lt + 2 >= size)
        return kEndOrNone;
    const char c1 = text_[lt + 1], c2 = text_[lt + 2];
    auto ending = [&](const char* marker, int kind) {
        size_t p = text_.find(marker, lt);
        if (p == npos)
            return static_cast<int>(kEndOrNone);
        end = p + std::strlen(marker);
        return kind;
    };
    if (c1 == '?')
        return ending("?>", kProcessingInstruction);
    if (c1 == '!' && c2 == '[')
        return ending("]]>", kCdata);
    if (c1 == '!' && c2 == '-')
        return ending("-->", kComment);
    if (c1 == '!') {
        // Document type: brackets of an internal subset nest until the closing '>'.
        Token t;
        t.next = lt + 1;
        int depth = 0;
        while (NextToken(t)) {
            if (t.quoted)
                continue;
            if (TokenIs(t, '>') && depth == 0) {
                end = t.first + 1;
                return kDocumentType;
            }
            for (size_t i = t.first; i <= t.last; ++i) {
                if (text_[i] == '[')
                    ++depth;
                else if (text_[i] == ']')
                    --depth;
            }
        }
        return kEndOrNone;
    }
    if (c1 == '/')
        return kEndOrNone;
    return kElement;
}

long CXmlDocument::Fail(const std::string& message, uint32_t record) {
    errorText_ = message;
    if (freePos_ > 1 && record == freePos_ - 1)
        --freePos_;
    return -1;
}

std::string CXmlDocument::NameOf(uint32_t record) const {
    return record != 0 && record < freePos_ ? ElementName(record) : std::string();
}

bool CXmlDocument::NameRange(uint32_t record, size_t& first, size_t& length) const {
    if (record == 0 || record >= freePos_)
        return false;
    Token t;
    t.next = records_[record].startOpen + 1;
    if (!NextToken(t) || t.quoted)
        return false;
    first = t.first;
    length = t.Length();
    return true;
}

std::string CXmlDocument::ElementName(uint32_t record) const {
    Token t;
    t.next = records_[record].startOpen + 1;
    if (!NextToken(t) || t.quoted)
        return std::string();
    return text_.substr(t.first, t.Length());
}

long CXmlDocument::ParseElement(uint32_t parent, int depth) {
    const uint32_t n = freePos_;
    if (n >= records_.size())
        records_.resize(std::max<size_t>(freePos_ + freePos_ / 2, freePos_ + 1));
    ++freePos_;
    records_[n] = ElementRecord();
    records_[n].startOpen = records_[parent].endOpen;
    records_[n].parent = parent;

    size_t pos = records_[n].startOpen;
    Token name;
    for (;;) {
        size_t lt = text_.find('<', pos);
        if (lt == npos)
            return Fail("Element tag not found", n);
        records_[n].startOpen = static_cast<uint32_t>(lt);
        records_[parent].endOpen = static_cast<uint32_t>(lt);
        Token t;
        t.next = lt + 1;
        if (!NextToken(t))
            return Fail("Abrupt end within tag", n);
        if (t.quoted)
            return Fail("Tag starts with quote", n);
        const char c = text_[t.first];
        if (c == '?' || c == '!') {
            // The node must start right after the '<' ("<  !" is none) and end after it,
            // or the scan would come back to the same '<' for ever.
            size_t end = 0;
            const int kind = ScanNode(lt, end);
            if (kind == kEndOrNone || kind == kElement || end <= lt)
                return Fail("Invalid node", n);
            pos = end;
            continue;
        }
        if (TokenIs(t, '/')) {
            --freePos_; // the parent's end tag: no element here
            return 0;
        }
        name = t;
        break;
    }
    if (depth > kMaxDepth) {
        tooDeep_ = true;
        return Fail("Document nested too deeply", n);
    }
    // The name is copied only for an error message.
    auto elementName = [&] { return text_.substr(name.first, name.Length()); };
    size_t gt = text_.find('>', name.next);
    if (gt == npos)
        return Fail("End of tag not found", n);
    records_[n].startClose = static_cast<uint32_t>(gt);
    if (text_[gt - 1] == '/') {
        records_[n].endOpen = static_cast<uint32_t>(gt - 1);
        records_[n].endClose = static_cast<uint32_t>(gt);
        return n;
    }
    records_[n].endOpen = static_cast<uint32_t>(gt + 1);
    uint32_t last = 0;
    for (;;) {
        long child = ParseElement(n, depth + 1);
        if (child < 0)
            return -1;
        if (child == 0)
            break;
        const auto c = static_cast<uint32_t>(child);
        if (last == 0)
            records_[n].firstChild = c;
        else
            records_[last].nextSibling = c;
        last = c;
        records_[n].endOpen = records_[c].endClose + 1;
    }
    size_t lt = text_.find('<', records_[n].endOpen);
    if (lt == npos)
        return Fail(WithName("End tag of %s element not found", elementName()), n);
    Token t;
    t.next = lt + 1;
    int count = 0;
    while (NextToken(t)) {
        ++count;
        if (count == 1 && !t.quoted && !TokenIs(t, '/'))
            return Fail(WithName("Expecting end tag of element %s", elementName()), n);
        if (count == 2 && !t.quoted && !EndTagMatches(t, name))
            return Fail(WithName("End tag does not correspond to %s", elementName()), n);
        if (count > 2 && TokenIs(t, '>')) {
            records_[n].endClose = static_cast<uint32_t>(t.first);
            return n;
        }
    }
    return Fail(WithName("End tag not completed for element %s", elementName()), n);
}

bool CXmlDocument::FindNextElement(const char* name) {
    if (freePos_ <= 1)
        return false;
    uint32_t candidate =
        currentPos_ ? records_[currentPos_].nextSibling : records_[parentPos_].firstChild;
    for (; candidate != 0; candidate = records_[candidate].nextSibling) {
        if (name && *name) {
            Token t;
            t.next = records_[candidate].startOpen + 1;
            if (!NextToken(t) || t.quoted || !TokenMatches(t, name))
                continue;
        }
        currentPos_ = candidate;
        parentPos_ = records_[candidate].parent;
        childPos_ = 0;
        currentKind_ = 1;
        return true;
    }
    return false;
}

bool CXmlDocument::EnterElement() {
    if (currentKind_ != 1 || currentPos_ == 0)
        return false;
    parentPos_ = currentPos_;
    currentPos_ = childPos_;
    childPos_ = 0;
    currentKind_ = currentPos_ != 0 ? 1 : 0;
    return true;
}

bool CXmlDocument::LeaveElement() {
    if (parentPos_ == 0)
        return false;
    currentPos_ = parentPos_;
    parentPos_ = records_[currentPos_].parent;
    childPos_ = 0;
    currentKind_ = 1;
    return true;
}

std::string CXmlDocument::GetAttribute(const char* name) const {
    if (currentKind_ != 1 || currentPos_ == 0)
        return std::string();
    return AttributeOf(currentPos_, name);
}

bool CXmlDocument::HasAttribute(uint32_t record, const char* name, std::string& value) const {
    value.clear();
    if (record == 0 || record >= freePos_)
        return false;
    const size_t nameLength = std::strlen(name);
    Token t;
    t.next = records_[record].startOpen + 1;
    if (!NextToken(t)) // the element's name
        return false;
    // The value is the quoted token two after the first unquoted token that is the name.
    long matchedAt = -1;
    long index = 0;
    while (NextToken(t)) {
        ++index;
        if (!t.quoted) {
            const char c = text_[t.first];
            if (t.first == t.last && (c == '>' || c == '/' || c == '?'))
                return false;
            if (matchedAt < 0 && t.Length() == nameLength && !TokenIs(t, '=') &&
                std::memcmp(text_.data() + t.first, name, nameLength) == 0)
                matchedAt = index;
        } else if (matchedAt >= 0 && index == matchedAt + 2) {
            value = Decode(t.first, t.last);
            return true;
        }
    }
    return false;
}

std::string CXmlDocument::AttributeOf(uint32_t record, const char* name) const {
    Token t;
    t.next = records_[record].startOpen + 1;
    if (!NextToken(t)) // the element's name
        return std::string();
    const bool anyName = !name || !*name;
    long matchedAt = -1;
    long index = 0;
    while (NextToken(t)) {
        ++index;
        if (!t.quoted) {
            if (TokenIs(t, '>') || TokenIs(t, '/') || TokenIs(t, '?'))
                return std::string();
            if (matchedAt < 0 && !TokenIs(t, '=')) {
                if (anyName)
                    return text_.substr(t.first, t.Length());
                if (TokenMatches(t, name))
                    matchedAt = index;
            }
        } else if (matchedAt >= 0 && index == matchedAt + 2) {
            return Decode(t.first, t.last);
        }
    }
    return std::string();
}

std::string CXmlDocument::Decode(size_t first, size_t last) const {
    if (last + 1 <= first)
        return std::string();
    const size_t end = last + 1;
    // Decoding never lengthens the text: it is written into a buffer of the value's size,
    // which is cut to what was written. Runs without '&' are copied whole.
    std::string out(end - first, '\0');
    char* const begin = &out[0];
    char* to = begin;
    const char* const from = text_.data();
    for (size_t i = first; i < end;) {
        const void* amp = std::memchr(from + i, '&', end - i);
        const size_t run = (amp ? static_cast<const char*>(amp) - from : end) - i;
        std::memcpy(to, from + i, run);
        to += run;
        i += run;
        if (i < end) {
            size_t written = 0;
            i = platform::DecodeXmlReference(from, i, end, to, written);
            to += written;
        }
    }
    out.resize(static_cast<size_t>(to - begin));
    return out;
}

bool CXmlDocument::ToUtf8(std::string& document) {
    if (document.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        document.erase(0, 3);
        return true;
    }
    std::string converted;
    if (document.compare(0, 2, "\xFF\xFE") == 0 || document.compare(0, 2, "\xFE\xFF") == 0) {
        if (!platform::ConvertEncoding(document, "UTF-16", "UTF-8", converted))
            return false;
        document = std::move(converted);
        return true;
    }
    const std::string declared = DeclaredEncoding(document);
    if (declared.empty() || declared == "utf-8" || declared == "utf8")
        return true;
    if (!platform::ConvertEncoding(document, declared.c_str(), "UTF-8", converted))
        return false;
    document = std::move(converted);
    return true;
}

size_t CXmlDocument::RootStart(const std::string& text) {
    size_t at = 0;
    while ((at = text.find('<', at)) != std::string::npos) {
        size_t end;
        if (text.compare(at, 4, "<!--") == 0) {
            end = text.find("-->", at + 4);
            end = end == std::string::npos ? end : end + 3;
        } else if (text.compare(at, 2, "<?") == 0) {
            end = text.find("?>", at + 2);
            end = end == std::string::npos ? end : end + 2;
        } else if (text.compare(at, 2, "<!") == 0) {
            // A document type: its internal subset in brackets holds '>' of its own, and
            // quoted literals may hold anything.
            end = std::string::npos;
            int depth = 0;
            char quote = 0;
            for (size_t i = at + 2; i < text.size() && end == std::string::npos; ++i) {
                const char c = text[i];
                if (quote)
                    quote = c == quote ? 0 : quote;
                else if (c == '"' || c == '\'')
                    quote = c;
                else if (c == '[')
                    ++depth;
                else if (c == ']' && depth > 0)
                    --depth;
                else if (c == '>' && depth == 0)
                    end = i + 1;
            }
        } else {
            return at;
        }
        if (end == std::string::npos)
            return end;
        at = end;
    }
    return std::string::npos;
}
