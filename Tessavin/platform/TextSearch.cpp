#include "platform/TextSearch.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

size_t TextSearch::Find(std::string_view text, std::string_view needle, size_t from, size_t limit) {
    if (limit > text.size() || from > limit || needle.size() > limit - from)
        return std::string_view::npos;
    const size_t n = needle.size();
    if (n == 0)
        return from;
    const char* base = text.data();
    const char* p = base + from;
    const size_t span = limit - from;
    if (n == 1) {
        const void* hit = std::memchr(p, needle[0], span);
        return hit ? static_cast<size_t>(static_cast<const char*>(hit) - base)
                   : std::string_view::npos;
    }
    const size_t last = span - n; // the last place where needle can start
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i tail = _mm_set1_epi8(needle[n - 1]);
    // Sixteen starting places i..i+15 at a time, while their last bytes lie inside.
    for (; i + 15 <= last; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + n - 1));
        unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, tail))));
        while (mask != 0) {
            const size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
            if (std::memcmp(p + at + 1, needle.data() + 1, n - 2) == 0)
                return from + at;
            mask &= mask - 1;
        }
    }
#endif
    for (; i <= last; ++i) {
        const void* hit = std::memchr(p + i, needle[0], last - i + 1);
        if (!hit)
            break;
        i = static_cast<size_t>(static_cast<const char*>(hit) - p);
        if (p[i + n - 1] == needle[n - 1] && std::memcmp(p + i + 1, needle.data() + 1, n - 2) == 0)
            return from + i;
    }
    return std::string_view::npos;
}
