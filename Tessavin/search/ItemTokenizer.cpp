#include "search/ItemTokenizer.h"

#include "platform/CodePage.h"

namespace {

bool In(char32_t c, char32_t first, char32_t last) {
    return c >= first && c <= last;
}

// Spaces, punctuation and symbols beyond ASCII that separate words.
bool IsSeparator(char32_t c) {
    if (c < 0xC0)
        return c != 0xAA && c != 0xB5 && c != 0xBA; // C1 controls, Latin-1 punctuation
    if (c < 0x2000)
        return c == 0xD7 || c == 0xF7 || c == 0x37E || c == 0x387 || In(c, 0x55A, 0x55F) ||
               c == 0x589 || c == 0x5BE || c == 0x5C0 || c == 0x5C3 || In(c, 0x5F3, 0x5F4) ||
               c == 0x60C || c == 0x61B || c == 0x61F || In(c, 0x66A, 0x66D) || c == 0x6D4 ||
               In(c, 0x964, 0x965) || c == 0xE4F || In(c, 0xE5A, 0xE5B) || c == 0x10FB ||
               c == 0x1680 || c == 0x180E;
    return In(c, 0x2000, 0x206F) ||      // general punctuation, spaces
           In(c, 0x20A0, 0x20CF) ||      // currency
           In(c, 0x2100, 0x2BFF) ||      // letterlike, arrows, maths, shapes, dingbats
           In(c, 0x2E00, 0x2E7F) ||      // supplemental punctuation
           In(c, 0x2FF0, 0x303F) ||      // ideographic description, CJK punctuation
           c == 0x30A0 || c == 0x30FB || // katakana double hyphen, middle dot
           In(c, 0x3200, 0x33FF) ||      // enclosed CJK, CJK compatibility
           In(c, 0xE000, 0xF8FF) ||      // private use
           In(c, 0xFE00, 0xFE6F) ||      // variation selectors, vertical and small forms
           c == 0xFEFF ||                // byte-order mark
           In(c, 0xFF01, 0xFF0F) || In(c, 0xFF1A, 0xFF20) || In(c, 0xFF3B, 0xFF40) ||
           In(c, 0xFF5B, 0xFF65) ||   // fullwidth punctuation
           In(c, 0xFFE0, 0xFFFF) ||   // fullwidth symbols, specials (U+FFFD)
           In(c, 0x1F000, 0x1FBFF) || // pictographs, emoji
           In(c, 0xE0000, 0xE01EF);   // tags, variation selectors
}

} // namespace

bool ItemTokenizer::IsCjk(char32_t c) {
    if (c < 0x2E80)
        return false;
    if (c < 0x10000)
        return In(c, 0x2E80, 0x2FDF) ||                          // radicals
               In(c, 0x3005, 0x3007) ||                          // 々 〆 〇
               In(c, 0x3041, 0x309F) ||                          // Hiragana
               (In(c, 0x30A1, 0x30FF) && c != 0x30FB) ||         // Katakana but ・
               In(c, 0x31F0, 0x31FF) || In(c, 0x3400, 0x4DBF) || // extension A
               In(c, 0x4E00, 0x9FFF) || In(c, 0xAC00, 0xD7A3) || // Han, Hangul syllables
               In(c, 0xF900, 0xFAFF) || In(c, 0xFF66, 0xFF9F);   // compatibility, halfwidth kana
    return In(c, 0x20000, 0x2FA1F) || In(c, 0x30000, 0x323AF);   // extensions B to H
}

bool ItemTokenizer::IsWordChar(char32_t c) {
    if (c < 0x80)
        return In(c, '0', '9') || In(c, 'a', 'z') || In(c, 'A', 'Z');
    return !IsSeparator(c) && !IsCjk(c);
}

char32_t ItemTokenizer::Fold(char32_t c) {
    if (c < 0x80)
        return In(c, 'A', 'Z') ? c + 32 : c;
    if (c < 0x100)
        return In(c, 0xC0, 0xDE) && c != 0xD7 ? c + 32 : c;
    if (c < 0x180) { // Latin Extended-A: pairs of upper and lower case
        if (c == 0x130)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        if (c == 0x17F)
            return 's';
        if (In(c, 0x100, 0x12F) || In(c, 0x132, 0x137) || In(c, 0x14A, 0x177))
            return c | 1;
        if (In(c, 0x139, 0x148) || In(c, 0x179, 0x17E))
            return c % 2 ? c + 1 : c;
        return c;
    }
    if (c < 0x400) { // Greek
        if (c == 0x386)
            return 0x3AC;
        if (In(c, 0x388, 0x38A))
            return c + 37;
        if (c == 0x38C)
            return 0x3CC;
        if (In(c, 0x38E, 0x38F))
            return c + 63;
        if (In(c, 0x391, 0x3AB) && c != 0x3A2)
            return c + 32;
        return c == 0x3C2 ? 0x3C3 : c; // final sigma
    }
    if (c < 0x530) { // Cyrillic
        if (c < 0x410)
            return c + 80;
        if (c < 0x430)
            return c + 32;
        if (In(c, 0x460, 0x481) || In(c, 0x48A, 0x4BF) || In(c, 0x4D0, 0x52F))
            return c | 1;
        if (c == 0x4C0)
            return 0x4CF;
        if (In(c, 0x4C1, 0x4CE))
            return c % 2 ? c + 1 : c;
        return c;
    }
    if (In(c, 0x531, 0x556)) // Armenian
        return c + 48;
    if (In(c, 0x1E00, 0x1E95) || In(c, 0x1EA0, 0x1EFF)) // Latin Extended Additional
        return c | 1;
    if (c == 0x1E9E)
        return 0xDF;
    if (In(c, 0xFF10, 0xFF19)) // fullwidth digits and letters: their ASCII forms
        return '0' + (c - 0xFF10);
    if (In(c, 0xFF21, 0xFF3A))
        return 'a' + (c - 0xFF21);
    if (In(c, 0xFF41, 0xFF5A))
        return 'a' + (c - 0xFF41);
    return c;
}

long ItemTokenizer::Decode(std::string_view text, size_t pos, size_t& next) {
    const unsigned char b0 = static_cast<unsigned char>(text[pos]);
    next = pos + 1;
    if (b0 < 0x80)
        return b0;
    size_t length;
    char32_t c, least;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, c = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, c = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, c = b0 & 0x07, least = 0x10000;
    } else {
        return -1;
    }
    if (text.size() - pos < length)
        return -1;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char b = static_cast<unsigned char>(text[pos + i]);
        if ((b & 0xC0) != 0x80)
            return -1;
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (c < least || c > 0x10FFFF || In(c, 0xD800, 0xDFFF))
        return -1;
    next = pos + length;
    return static_cast<long>(c);
}

bool ItemTokenizer::Tokenize(std::string_view text, Mode mode, Sink& sink) {
    std::string word;
    size_t wordStart = 0, wordEnd = 0;
    size_t runLength = 0, lastStart = 0, lastEnd = 0; // the CJK run so far, its last char
    const auto endWord = [&]() {
        if (word.empty())
            return true;
        const bool more = sink.Emit(word, wordStart, wordEnd, false, false);
        word.clear();
        return more;
    };
    // The run's last character alone: in a document always (at the last bigram's position),
    // in a query only when it is the whole run.
    const auto endRun = [&]() {
        bool more = true;
        if (runLength > 0 && (mode == Mode::kDocument || runLength == 1))
            more = sink.Emit(text.substr(lastStart, lastEnd - lastStart), lastStart, lastEnd,
                             runLength > 1, true);
        runLength = 0;
        return more;
    };
    for (size_t pos = 0, next = 0; pos < text.size(); pos = next) {
        const long decoded = Decode(text, pos, next);
        const char32_t c = decoded < 0 ? 0xFFFD : static_cast<char32_t>(decoded);
        if (IsCjk(c)) {
            if (!endWord())
                return false;
            if (runLength > 0 &&
                !sink.Emit(text.substr(lastStart, next - lastStart), lastStart, next, false, true))
                return false;
            lastStart = pos;
            lastEnd = next;
            ++runLength;
        } else if (IsWordChar(c)) {
            if (!endRun())
                return false;
            if (word.empty())
                wordStart = pos;
            platform::AppendUtf8(word, Fold(c));
            wordEnd = next;
        } else if (!endWord() || !endRun()) {
            return false;
        }
    }
    return endWord() && endRun();
}

std::vector<ItemTokenizer::Token> ItemTokenizer::Tokens(std::string_view text, Mode mode) {
    class Collect : public Sink {
    public:
        std::vector<Token> tokens;
        bool Emit(std::string_view text, size_t start, size_t end, bool colocated,
                  bool cjk) override {
            tokens.push_back(Token{std::string(text), start, end, colocated, cjk});
            return true;
        }
    } collect;
    Tokenize(text, mode, collect);
    return std::move(collect.tokens);
}
