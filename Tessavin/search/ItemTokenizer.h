#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Splits UTF-8 text into the word index's tokens.
//
// Words of alphabetic scripts are runs of letters and digits, case-folded (ASCII, Latin-1,
// Latin Extended-A and Additional, Greek, Cyrillic, fullwidth forms). Chinese, Japanese and
// Korean text has no spaces between words, so a run of CJK characters gives overlapping
// bigrams: each character with the next one, and the last character of the run alone. That
// last unigram is colocated with the bigram before it (same position), so a phrase may go on
// past the run, and every character starts some token: a one-character query is a prefix
// query. A query gives a run's bigrams only (a one-character run: that character).
// Invalid UTF-8 bytes separate tokens and are otherwise skipped.
class ItemTokenizer {
public:
    enum class Mode { kDocument, kQuery };

    struct Token {
        std::string text;
        size_t start = 0; // byte offsets of the token in the input
        size_t end = 0;
        bool colocated = false; // at the position of the token before it
        bool cjk = false;       // a bigram or single character of a CJK run
        bool operator==(const Token& o) const {
            return text == o.text && start == o.start && end == o.end && colocated == o.colocated &&
                   cjk == o.cjk;
        }
    };

    // Receives each token; returns false to stop. text stays valid during the call only.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual bool Emit(std::string_view text, size_t start, size_t end, bool colocated,
                          bool cjk) = 0;
    };

    // False when the sink stopped it.
    static bool Tokenize(std::string_view text, Mode mode, Sink& sink);
    static std::vector<Token> Tokens(std::string_view text, Mode mode);

    // Character classes, exposed for the query parser.
    static bool IsCjk(char32_t c);
    static bool IsWordChar(char32_t c);
    static char32_t Fold(char32_t c);
    // Decodes the code point at text[pos]; sets next past it. Returns -1 (next = pos + 1)
    // for a byte that starts no valid sequence.
    static long Decode(std::string_view text, size_t pos, size_t& next);
};
