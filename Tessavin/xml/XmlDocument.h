#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A small non-validating XML reader: one pass indexes every element as four positions in
// the text plus parent, first-child and next-sibling links; navigation then moves among
// siblings and into children, and attribute values are re-scanned and decoded on request.
// Comments, processing instructions, CDATA sections and document types are skipped.
class CXmlDocument {
public:
    // A document nested deeper than this is refused (the reader recurses per level).
    static const int kMaxDepth = 256;

    struct ElementRecord {
        uint32_t startOpen = 0;  // '<' of the start tag
        uint32_t startClose = 0; // '>' of the start tag
        uint32_t endOpen = 0;    // '<' of the end tag ('/' of an empty element)
        uint32_t endClose = 0;   // '>' of the end tag (startClose for an empty element)
        uint32_t reserved = 0;
        uint32_t parent = 0;
        uint32_t firstChild = 0;
        uint32_t nextSibling = 0;
    };

    // Node kinds of the node scanner.
    enum NodeKind {
        kEndOrNone = 0,
        kElement = 1,
        kText = 2,
        kWhitespace = 4,
        kCdata = 8,
        kProcessingInstruction = 16,
        kComment = 32,
        kDocumentType = 64
    };

    CXmlDocument();
    virtual ~CXmlDocument();

    bool LoadFile(const std::string& path);
    bool SetText(const char* text);
    bool SetText(const std::string& text);
    bool SetText(std::string&& text);
    bool FindNextElement(const char* name);
    bool EnterElement();
    // Back to the element that was entered last: it becomes the current element again, so
    // the next FindNextElement searches its following siblings.
    bool LeaveElement();
    std::string GetAttribute(const char* name) const;

    // Reading by record (a record's number in Records(); 0 is the document): the qualified
    // name, and an attribute by its exact qualified name (decoded), false when missing.
    std::string NameOf(uint32_t record) const;
    // Where the record's qualified name stands in Text(); false for no element.
    bool NameRange(uint32_t record, size_t& first, size_t& length) const;
    bool HasAttribute(uint32_t record, const char* name, std::string& value) const;
    const std::string& Text() const { return text_; }
    // Where the first element's start tag begins: past the declaration, processing
    // instructions, comments (whatever markup they hold) and a document type (its internal
    // subset included); npos when there is no element or one of those never ends.
    static size_t RootStart(const std::string& text);
    // A document's bytes as UTF-8, by its byte-order mark or its declared encoding; false
    // for an encoding that cannot be converted.
    static bool ToUtf8(std::string& document);
    const std::string& ErrorText() const { return errorText_; }
    // The last text was refused for nesting deeper than kMaxDepth (its reader logs that).
    bool TooDeep() const { return tooDeep_; }

    // For tests and tools.
    const std::vector<ElementRecord>& Records() const { return records_; }
    uint32_t CurrentPosition() const { return currentPos_; }
    uint32_t FreePosition() const { return freePos_; }

private:
    struct Token {
        size_t first = 0;
        size_t last = 0;
        size_t next = 0;
        bool quoted = false;
        size_t Length() const { return last + 1 - first; }
    };

    void Reset();
    bool NextToken(Token& token) const;
    bool TokenIs(const Token& token, char c) const;
    bool TokenMatches(const Token& token, const char* name) const;
    // Whether an end tag's name token matches the start tag's name token.
    bool EndTagMatches(const Token& token, const Token& name) const;
    // Kind of the node at a '<', and in end the position just after it.
    int ScanNode(size_t lt, size_t& end) const;
    // depth: nesting level of the element (1 for the root); deeper than kMaxDepth fails.
    long ParseElement(uint32_t parent, int depth);
    long Fail(const std::string& message, uint32_t record);
    std::string ElementName(uint32_t record) const;
    std::string AttributeOf(uint32_t record, const char* name) const;
    std::string Decode(size_t first, size_t last) const;

    std::string text_;
    std::string errorText_;
    bool tooDeep_ = false;
    std::vector<ElementRecord> records_;
    uint32_t parentPos_ = 0;
    uint32_t currentPos_ = 0;
    uint32_t childPos_ = 0;
    uint32_t freePos_ = 1;
    int currentKind_ = 0;
};
