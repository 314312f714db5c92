#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>

// The application framework's object-archive format, little-endian: counts, class tags
// with a running index, and length-prefixed wide (UTF-16LE) and narrow strings.
// A storing archive appends to a byte buffer; a loading archive reads from one and throws
// ArchiveError on a premature end or a malformed tag.
class ArchiveError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CArchive {
public:
    static const uint16_t kNewClassTag = 0xFFFF;
    static const uint16_t kClassTag = 0x8000;
    static const uint16_t kBigObjectTag = 0x7FFF;
    static const uint32_t kBigClassTag = 0x80000000u;

    // A storing archive.
    CArchive();
    // A loading archive over its own copy of data.
    explicit CArchive(std::string data);

    // Storing.
    const std::string& Data() const { return out_; }
    void WriteU8(uint8_t value);
    void WriteU16(uint16_t value);
    void WriteU32(uint32_t value);
    void WriteCount(uint32_t count);
    void WriteWideString(const std::wstring& text);
    void WriteNarrowString(const std::string& text);
    // The tag before an object: the class description the first time a class is written,
    // a reference to it afterwards. Every object takes the next running index.
    void WriteObjectTag(const std::string& className, uint16_t schema);

    // Loading.
    size_t Position() const { return pos_; }
    bool AtEnd() const { return pos_ >= in_.size(); }
    uint8_t ReadU8();
    uint16_t ReadU16();
    uint32_t ReadU32();
    uint32_t ReadCount();
    // Both read either string kind and convert the other kind through the native code page.
    std::wstring ReadWideString();
    std::string ReadNarrowString();
    // The class of the next object; schema receives the class's schema number.
    std::string ReadObjectTag(uint16_t& schema);

    // Field helpers for Serialize.
    void Field(uint32_t& value);
    void Field(std::wstring& text);
    void Field(std::string& text);

private:
    void WriteLengthPrefix(uint32_t length);
    uint32_t ReadWideLength();
    // A string of either kind; wide is set for a wide one.
    void ReadAnyString(bool& wide, std::wstring& wideText, std::string& narrowText);
    void Need(size_t bytes) const;

    bool storing_;
    std::string out_;
    std::string in_;
    size_t pos_ = 0;
    uint32_t mapCount_ = 1; // running index; 0 is never used
    std::map<std::string, uint32_t> storedClasses_;
    struct LoadedClass {
        std::string name;
        uint16_t schema;
    };
    std::map<uint32_t, LoadedClass> loadedClasses_;
};
