#include "platform/TextSearch.h"

#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

// The reference: the first occurrence at or after from that ends at or before limit.
size_t Reference(const std::string& text, const std::string& needle, size_t from, size_t limit) {
    if (limit > text.size() || from > limit)
        return std::string::npos;
    const size_t at = std::string_view(text).substr(0, limit).find(needle, from);
    return at;
}

TEST(TextSearchTest, FindsWhatStringFindFindsInsideTheLimit) {
    // Short alphabets make many near misses: first and last bytes matching, middles not,
    // and hits straddling the sixteen-byte steps and the limit.
    std::mt19937 random(7);
    const std::string alphabet = "<ab/>";
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 80, ' '), needle(random() % 6, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        for (char& c : needle)
            c = alphabet[random() % alphabet.size()];
        const size_t limit = random() % (text.size() + 2);
        const size_t from = random() % (text.size() + 2);
        ASSERT_EQ(TextSearch::Find(text, needle, from, limit), Reference(text, needle, from, limit))
            << "text '" << text << "' needle '" << needle << "' from " << from << " limit "
            << limit;
    }
    const std::string page(100000, 'x');
    EXPECT_EQ(TextSearch::Find(page + "<DIV id=7>", "<DIV id=7>"), page.size());
    EXPECT_EQ(TextSearch::Find(page + "<DIV id=7", "<DIV id=7>"), std::string::npos);
}

} // namespace
