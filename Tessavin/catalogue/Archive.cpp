#include "catalogue/Archive.h"

#include "platform/CodePage.h"

#include <utility>

CArchive::CArchive() : storing_(true) {}

CArchive::CArchive(std::string data) : storing_(false), in_(std::move(data)) {}

void CArchive::WriteU8(uint8_t value) {
    out_.push_back(static_cast<char>(value));
}

void CArchive::WriteU16(uint16_t value) {
    out_.push_back(static_cast<char>(value & 0xFF));
    out_.push_back(static_cast<char>(value >> 8));
}

void CArchive::WriteU32(uint32_t value) {
    WriteU16(static_cast<uint16_t>(value & 0xFFFF));
    WriteU16(static_cast<uint16_t>(value >> 16));
}

void CArchive::WriteCount(uint32_t count) {
    if (count < 0xFFFF) {
        WriteU16(static_cast<uint16_t>(count));
    } else {
        WriteU16(0xFFFF);
        WriteU32(count);
    }
}

void CArchive::WriteLengthPrefix(uint32_t length) {
    if (length < 0xFF) {
        WriteU8(static_cast<uint8_t>(length));
    } else if (length < 0xFFFE) {
        WriteU8(0xFF);
        WriteU16(static_cast<uint16_t>(length));
    } else {
        WriteU8(0xFF);
        WriteU16(0xFFFF);
        WriteU32(length);
    }
}

void CArchive::WriteWideString(const std::wstring& text) {
    std::u16string units = platform::WideToUtf16(text);
    WriteU8(0xFF);
    WriteU16(0xFFFE);
    WriteLengthPrefix(static_cast<uint32_t>(units.size()));
    for (char16_t u : units)
        WriteU16(static_cast<uint16_t>(u));
}

void CArchive::WriteNarrowString(const std::string& text) {
    WriteLengthPrefix(static_cast<uint32_t>(text.size()));
    out_ += text;
}

void CArchive::WriteObjectTag(const std::string& className, uint16_t schema) {
    auto it = storedClasses_.find(className);
    if (it == storedClasses_.end()) {
        WriteU16(kNewClassTag);
        WriteU16(schema);
        WriteU16(static_cast<uint16_t>(className.size()));
        out_ += className;
        storedClasses_[className] = mapCount_++;
    } else if (mapCount_ < kBigObjectTag) {
        WriteU16(static_cast<uint16_t>(kClassTag | it->second));
    } else {
        // Past 0x7FFF entries the reference is written in its 32-bit form.
        WriteU16(kBigObjectTag);
        WriteU32(kBigClassTag | it->second);
    }
    ++mapCount_; // the object itself
}

void CArchive::Need(size_t bytes) const {
    if (pos_ > in_.size() || in_.size() - pos_ < bytes)
        throw ArchiveError("premature end of archive");
}

uint8_t CArchive::ReadU8() {
    Need(1);
    return static_cast<uint8_t>(in_[pos_++]);
}

uint16_t CArchive::ReadU16() {
    Need(2);
    uint16_t v = static_cast<uint16_t>(static_cast<uint8_t>(in_[pos_]) |
                                       (static_cast<uint8_t>(in_[pos_ + 1]) << 8));
    pos_ += 2;
    return v;
}

uint32_t CArchive::ReadU32() {
    uint32_t low = ReadU16();
    uint32_t high = ReadU16();
    return low | (high << 16);
}

uint32_t CArchive::ReadCount() {
    uint16_t count = ReadU16();
    return count != 0xFFFF ? count : ReadU32();
}

uint32_t CArchive::ReadWideLength() {
    uint32_t length = ReadU8();
    if (length != 0xFF)
        return length;
    length = ReadU16();
    if (length >= 0xFFFE)
        length = ReadU32();
    return length;
}

void CArchive::ReadAnyString(bool& wide, std::wstring& wideText, std::string& narrowText) {
    uint32_t length = ReadU8();
    wide = false;
    if (length == 0xFF) {
        uint16_t marker = ReadU16();
        if (marker == 0xFFFE) {
            wide = true;
            length = ReadWideLength();
        } else if (marker == 0xFFFF) {
            length = ReadU32();
        } else {
            length = marker;
        }
    }
    if (wide) {
        Need(static_cast<size_t>(length) * 2);
        std::u16string units(length, u'\0');
        for (uint32_t i = 0; i < length; ++i)
            units[i] = static_cast<char16_t>(ReadU16());
        wideText = platform::Utf16ToWide(units);
    } else {
        Need(length);
        narrowText.assign(in_, pos_, length);
        pos_ += length;
    }
}

std::wstring CArchive::ReadWideString() {
    bool wide = false;
    std::wstring w;
    std::string n;
    ReadAnyString(wide, w, n);
    return wide ? w : platform::NativeToWide(n);
}

std::string CArchive::ReadNarrowString() {
    bool wide = false;
    std::wstring w;
    std::string n;
    ReadAnyString(wide, w, n);
    return wide ? platform::WideToNative(w) : n;
}

std::string CArchive::ReadObjectTag(uint16_t& schema) {
    uint16_t tag = ReadU16();
    uint32_t classIndex = 0;
    if (tag == kNewClassTag) {
        uint16_t newSchema = ReadU16();
        uint16_t length = ReadU16();
        Need(length);
        std::string name(in_, pos_, length);
        pos_ += length;
        loadedClasses_[mapCount_++] = LoadedClass{name, newSchema};
        ++mapCount_; // the object
        schema = newSchema;
        return name;
    }
    if (tag == kBigObjectTag) {
        uint32_t big = ReadU32();
        if (!(big & kBigClassTag))
            throw ArchiveError("object reference where a class was expected");
        classIndex = big & ~kBigClassTag;
    } else if (tag & kClassTag) {
        classIndex = tag & ~kClassTag;
    } else {
        throw ArchiveError("object reference where a class was expected");
    }
    auto it = loadedClasses_.find(classIndex);
    if (it == loadedClasses_.end())
        throw ArchiveError("reference to an unknown class");
    ++mapCount_;
    schema = it->second.schema;
    return it->second.name;
}

void CArchive::Field(uint32_t& value) {
    if (storing_)
        WriteU32(value);
    else
        value = ReadU32();
}

void CArchive::Field(std::wstring& text) {
    if (storing_)
        WriteWideString(text);
    else
        text = ReadWideString();
}

void CArchive::Field(std::string& text) {
    if (storing_)
        WriteNarrowString(text);
    else
        text = ReadNarrowString();
}
