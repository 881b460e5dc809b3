#include "scanner/candidate_pass.h"

#if defined(__x86_64__) || defined(__i386__)

#include <algorithm>
#include <array>
#include <bit>
#include <immintrin.h>
#include <utility>

// Each instruction set's functions are compiled for it alone, so the program still starts on a
// processor without it; finder() hands them out only where the processor has them.
#define QUORVIN_PRAGMA(x) _Pragma(#x)
#if defined(__clang__)
#define QUORVIN_TARGET_BEGIN(isa) \
    QUORVIN_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define QUORVIN_TARGET_END QUORVIN_PRAGMA(clang attribute pop)
#else
#define QUORVIN_TARGET_BEGIN(isa) QUORVIN_PRAGMA(GCC push_options) QUORVIN_PRAGMA(GCC target(isa))
#define QUORVIN_TARGET_END QUORVIN_PRAGMA(GCC pop_options)
#endif

namespace quorvin::scan_paths::x86 {

namespace sse2 {
struct V {
    using Vec = __m128i;
    static constexpr std::size_t kWidth = 16;
    static Vec splat(std::uint8_t b) { return _mm_set1_epi8(static_cast<char>(b)); }
    static Vec load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    template <bool Other>
    static Vec miss(Vec x, Vec orBits, Vec value, Vec other)
    {
        const Vec m = _mm_xor_si128(_mm_or_si128(x, orBits), value);
        return Other ? _mm_min_epu8(m, _mm_xor_si128(x, other)) : m;
    }
    template <bool Other>
    static Vec missAlso(Vec m, Vec x, Vec orBits, Vec value, Vec other)
    {
        return _mm_or_si128(m, miss<Other>(x, orBits, value, other));
    }
    static Vec least(Vec a, Vec b) { return _mm_min_epu8(a, b); }
    static std::uint64_t bits(Vec m)
    {
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(m, _mm_setzero_si128())));
    }
};
#include "scanner/candidate_pass_kernel.inc"
}  // namespace sse2

QUORVIN_TARGET_BEGIN("avx2")
namespace avx2 {
struct V {
    using Vec = __m256i;
    static constexpr std::size_t kWidth = 32;
    static Vec splat(std::uint8_t b) { return _mm256_set1_epi8(static_cast<char>(b)); }
    static Vec load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    template <bool Other>
    static Vec miss(Vec x, Vec orBits, Vec value, Vec other)
    {
        const Vec m = _mm256_xor_si256(_mm256_or_si256(x, orBits), value);
        return Other ? _mm256_min_epu8(m, _mm256_xor_si256(x, other)) : m;
    }
    template <bool Other>
    static Vec missAlso(Vec m, Vec x, Vec orBits, Vec value, Vec other)
    {
        return _mm256_or_si256(m, miss<Other>(x, orBits, value, other));
    }
    static Vec least(Vec a, Vec b) { return _mm256_min_epu8(a, b); }
    static std::uint64_t bits(Vec m)
    {
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(m, _mm256_setzero_si256())));
    }
};
#include "scanner/candidate_pass_kernel.inc"
}  // namespace avx2
QUORVIN_TARGET_END

QUORVIN_TARGET_BEGIN("avx512f,avx512bw")
namespace avx512 {
struct V {
    using Vec = __m512i;
    static constexpr std::size_t kWidth = 64;
    static Vec splat(std::uint8_t b) { return _mm512_set1_epi8(static_cast<char>(b)); }
    static Vec load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
    // (x | orBits) ^ value in one three-input logic instruction.
    template <bool Other>
    static Vec miss(Vec x, Vec orBits, Vec value, Vec other)
    {
        const Vec m = _mm512_ternarylogic_epi32(x, orBits, value, 0x56);
        return Other ? _mm512_min_epu8(m, _mm512_xor_si512(x, other)) : m;
    }
    // m | ((x | orBits) ^ value): the OR, then one three-input logic instruction.
    template <bool Other>
    static Vec missAlso(Vec m, Vec x, Vec orBits, Vec value, Vec other)
    {
        if constexpr (Other) {
            return _mm512_or_si512(m, miss<Other>(x, orBits, value, other));
        } else {
            return _mm512_ternarylogic_epi32(m, _mm512_or_si512(x, orBits), value, 0xF6);
        }
    }
    static Vec least(Vec a, Vec b) { return _mm512_min_epu8(a, b); }
    static std::uint64_t bits(Vec m) { return _mm512_testn_epi8_mask(m, m); }
};
#include "scanner/candidate_pass_kernel.inc"
}  // namespace avx512
QUORVIN_TARGET_END

Finder finder(Path path)
{
    __builtin_cpu_init();
    switch (path) {
    case Path::Sse2:
        return __builtin_cpu_supports("sse2") ? sse2::find : nullptr;
    case Path::Avx2:
        return __builtin_cpu_supports("avx2") ? avx2::find : nullptr;
    case Path::Avx512:
        return __builtin_cpu_supports("avx512bw") ? avx512::find : nullptr;
    case Path::Scalar:
        break;
    }
    return nullptr;
}

}  // namespace quorvin::scan_paths::x86

#else

namespace quorvin::scan_paths::x86 {

Finder finder(Path)
{
    return nullptr;
}

}  // namespace quorvin::scan_paths::x86

#endif
