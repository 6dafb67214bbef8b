#include "db/DataCheck.h"

#include "common/NumText.h"
#include "common/StockCode.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VELOR_CHECK_AVX2 1
#include <immintrin.h>
#endif
#include <optional>
#include <ranges>

namespace velor {

namespace {

const char *const kSectionNames[3] = {"日足", "週足", "月足"};

QString sectionName(int s) { return QString::fromUtf8(kSectionNames[s]); }

// The length of every month from 1900-01 to 2200-12 by YYYYMM - 190001, 0 for what is not a
// month (YYYY00, YYYY13 …): a date is then checked with one division and one look-up.
struct MonthLengths {
    static constexpr int kFirst = 190001, kCount = 220012 - 190001 + 1;
    uint8_t days[kCount]{};
    constexpr MonthLengths()
    {
        for (int y = 1900; y <= 2200; ++y)
            for (int m = 1; m <= 12; ++m) {
                const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
                constexpr uint8_t length[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
                days[y * 100 + m - kFirst] = uint8_t(length[m - 1] + (m == 2 && leap));
            }
    }
};
inline constexpr MonthLengths kMonthLengths{};

// Whether a YYYYMMDD is a date from 1900 to 2200.
inline bool validDate(int32_t ymd)
{
    const int32_t ym = ymd / 100;
    const uint32_t month = uint32_t(ym - MonthLengths::kFirst), d = uint32_t(ymd - ym * 100);
    return month < uint32_t(MonthLengths::kCount) && d - 1 < kMonthLengths.days[month];
}

constexpr uint64_t kOnes = 0x0101010101010101ULL;

// The number held by the `length` (1..8) digits at p.
inline uint64_t digitsValue(const char *p, int length)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    // The digits end up in the high bytes, zeros before them; the bytes after them are gone.
    uint64_t d = (v - kOnes * '0') << (8 * (8 - length));
    d = d * 10 + (d >> 8);
    return (((d & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) + (((d >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >> 32;
}

// Most stored lines are whole numbers and commas ending in CR LF; those are read here from the
// positions of their commas, found sixteen bytes at a time. Nothing for any other line (decimals,
// blanks, signs, a longer line), which the program's own reader then reads, so both agree on
// every line. Needs 72 readable bytes at p.
inline const char *wholeNumbersLine(const char *p, Bar &bar, bool &fit)
{
#if !defined(__SSE2__)
    return nullptr;
#else
    uint64_t comma = 0, other = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
        const uint64_t c = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(','))));
        // '0'..'9' become -128..-119 and nothing else does.
        const __m128i t = _mm_sub_epi8(v, _mm_set1_epi8(char('0' + 128)));
        const uint64_t digit = uint32_t(_mm_movemask_epi8(_mm_cmplt_epi8(t, _mm_set1_epi8(char(-128 + 10)))));
        comma |= c << (16 * i);
        other |= (~(digit | c) & 0xFFFFu) << (16 * i);
    }
    if ((other & 1) || other == 0) return nullptr;   // an empty line, or none within reach
    const int cr = std::countr_zero(other);
    const uint64_t within = comma & ((uint64_t(1) << cr) - 1);
    // Five commas, no field empty, then CR LF.
    if (p[cr] != '\r' || p[cr + 1] != '\n' || (within & 1) || (within & (within << 1)) ||
        (within >> (cr - 1)))
        return nullptr;
    uint64_t f[6];
    uint64_t rest = within;
    int begin = 0;
    for (int i = 0; i < 6; ++i) {
        if ((i < 5) != (rest != 0)) return nullptr;   // five commas
        const int end = i < 5 ? std::countr_zero(rest) : cr;
        rest &= rest - 1;
        const int length = end - begin;
        if (length <= 8) f[i] = digitsValue(p + begin, length);
        else if (length <= 16) f[i] = digitsValue(p + begin, length - 8) * 100000000u + digitsValue(p + end - 8, 8);
        else return nullptr;
        begin = end + 1;
    }
    // A price above 2^24 is rounded by the float reader; a date beyond int32 is refused by it.
    if (f[0] > 0x7fffffffu || std::max({f[1], f[2], f[3], f[4]}) > (uint64_t(1) << 24)) return nullptr;
    bar = Bar{int32_t(f[0]), float(f[1]), float(f[2]), float(f[3]), float(f[4]), double(f[5])};
    fit &= f[2] >= f[1] && f[2] >= f[4] && f[3] <= f[1] && f[3] <= f[4];
    return p + cr + 2;
#endif
}

#if VELOR_CHECK_AVX2
#define VELOR_AVX2_FN __attribute__((target("avx2,bmi,bmi2,popcnt")))

// The commas and the bytes that are neither a digit nor a comma of the 64 bytes at p, as bits.
VELOR_AVX2_FN inline void classify64(const char *p, uint64_t &commas, uint64_t &others)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
    const __m256i comma = _mm256_set1_epi8(','), shift = _mm256_set1_epi8(char('0' + 128)), below = _mm256_set1_epi8(char(-128 + 10));
    const uint64_t c = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, comma))) |
                       uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, comma)))) << 32;
    // '0'..'9' become -128..-119 and nothing else does.
    const uint64_t d = uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi8(below, _mm256_sub_epi8(a, shift)))) |
                       uint64_t(uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi8(below, _mm256_sub_epi8(b, shift))))) << 32;
    commas = c;
    others = ~(c | d);
}

// The eight bytes before p[end] in every 64-bit lane.
VELOR_AVX2_FN inline __m256i bytesTo(const char *p, unsigned end)
{
    long long x;
    std::memcpy(&x, p + end - 8, 8);
    return _mm256_set1_epi64x(x);
}

// In every 64-bit lane, the last `length` (0..8) of its eight bytes.
VELOR_AVX2_FN inline __m256i lastDigits(unsigned length)
{
    static constexpr uint64_t keep[9] = {0, 0xFF00000000000000, 0xFFFF000000000000, 0xFFFFFF0000000000, 0xFFFFFFFF00000000,
                                         0xFFFFFFFFFF000000, 0xFFFFFFFFFFFF0000, 0xFFFFFFFFFFFFFF00, ~uint64_t(0)};
    return _mm256_set1_epi64x(static_cast<long long>(keep[length]));
}

// Lane 0 of a, lane 1 of b, lane 2 of c, lane 3 of d.
VELOR_AVX2_FN inline __m256i lanes(__m256i a, __m256i b, __m256i c, __m256i d)
{
    return _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x0C), _mm256_blend_epi32(c, d, 0xC0), 0xF0);
}

// The common line of all — an eight-digit date and five fields of one to eight digits — read
// from the bits of its commas and other bytes (`c`, `other`: bit i for p[i]), the digits of two
// fields at a time. Nothing for any other line. Needs 64 readable bytes at p.
VELOR_AVX2_FN inline const char *shortNumbersLine(const char *p, uint64_t c, uint64_t other, Bar &bar, bool &fit)
{
    const unsigned cr = unsigned(_tzcnt_u64(other));   // 64 when there is none
    if (cr > 62 || p[cr] != '\r' || p[cr + 1] != '\n') return nullptr;
    const uint64_t within = _bzhi_u64(c, cr);
    // Five commas, the first after the date's eight digits.
    if (_mm_popcnt_u64(within) != 5 || (within & 0x1FF) != 0x100) return nullptr;
    uint64_t rest = _blsr_u64(within);
    const unsigned e2 = unsigned(_tzcnt_u64(rest));
    rest = _blsr_u64(rest);
    const unsigned e3 = unsigned(_tzcnt_u64(rest));
    rest = _blsr_u64(rest);
    const unsigned e4 = unsigned(_tzcnt_u64(rest));
    rest = _blsr_u64(rest);
    const unsigned e5 = unsigned(_tzcnt_u64(rest));
    const unsigned l2 = e2 - 9, l3 = e3 - e2 - 1, l4 = e4 - e3 - 1, l5 = e5 - e4 - 1, l6 = cr - e5 - 1;
    // Prices of one to eight digits, the volume of one to sixteen (an empty field wraps around
    // to a large number).
    if (((l2 - 1) | (l3 - 1) | (l4 - 1) | (l5 - 1)) >= 8 || l6 - 1 >= 16) return nullptr;
    // Each field's eight bytes up to its end, loaded into every lane and kept in its own, with
    // only its digits kept (in the high bytes, zeros before them): loads and blends rather than
    // moves from general registers and inserts, which all wait for the one shuffle unit.
    const bool longVolume = l6 > 8;
    // open, high, low, close | date, the volume's low eight digits, its higher digits, nothing
    __m256i v = _mm256_and_si256(lanes(bytesTo(p, e2), bytesTo(p, e3), bytesTo(p, e4), bytesTo(p, e5)),
                                 lanes(lastDigits(l2), lastDigits(l3), lastDigits(l4), lastDigits(l5)));
    __m256i w = _mm256_and_si256(lanes(bytesTo(p, 8), bytesTo(p, cr), bytesTo(p, longVolume ? cr - 8 : cr), _mm256_setzero_si256()),
                                 lanes(lastDigits(8), lastDigits(longVolume ? 8 : l6), lastDigits(longVolume ? l6 - 8 : 0), _mm256_setzero_si256()));
    // Zeros stay zero, digits become 0..9; then pairs, fours and eights of digits.
    const __m256i zero = _mm256_set1_epi8('0'), tens = _mm256_set1_epi16(0x010A), hundreds = _mm256_set1_epi32(0x00010064),
                  tenThousands = _mm256_set1_epi32(0x00012710);
    v = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_subs_epu8(v, zero), tens), hundreds);
    w = _mm256_madd_epi16(_mm256_maddubs_epi16(_mm256_subs_epu8(w, zero), tens), hundreds);
    v = _mm256_madd_epi16(_mm256_packus_epi32(v, v), tenThousands);
    w = _mm256_madd_epi16(_mm256_packus_epi32(w, w), tenThousands);
    // Each half holds its two numbers twice: open, high, open, high | low, close, low, close.
    const __m128i prices = _mm_unpacklo_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    // A price of 2^24 or more may be rounded by the float reader: it reads those.
    if (_mm_movemask_epi8(_mm_cmpgt_epi32(prices, _mm_set1_epi32(0xFFFFFF))) != 0) return nullptr;
    // high >= open, high >= close, open >= low, close >= low
    const __m128i above = _mm_shuffle_epi32(prices, _MM_SHUFFLE(3, 0, 1, 1)), below = _mm_shuffle_epi32(prices, _MM_SHUFFLE(2, 2, 3, 0));
    fit &= _mm_movemask_epi8(_mm_cmpgt_epi32(below, above)) == 0;
    const __m128i w0 = _mm256_castsi256_si128(w);
    bar.date = _mm_cvtsi128_si32(w0);
    _mm_storeu_ps(&bar.open, _mm_cvtepi32_ps(prices));
    bar.volume = double(int64_t(uint32_t(_mm256_extract_epi32(w, 4))) * 100000000 + uint32_t(_mm_extract_epi32(w0, 1)));
    return p + cr + 2;
}

// GCC 12 warns of an uninitialised value inside its own AVX-512 headers (their "undefined" vectors).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#define VELOR_AVX512_FN __attribute__((target("avx512f,avx512bw,avx512vl,avx512dq,avx512vbmi,avx512vbmi2,avx2,bmi,bmi2,popcnt")))

// Byte tables: a lane's bytes (eight to a lane) as offsets into the positions of the separators.
struct Lanes512 {
    alignas(64) uint8_t iota[64], endOf[64], startOf[64], step[64], backStep[64];
    constexpr Lanes512() : iota{}, endOf{}, startOf{}, step{}, backStep{}
    {
        constexpr uint8_t ends[8] = {0, 1, 2, 3, 4, 5, 5, 5}, starts[8] = {0, 0, 1, 2, 3, 4, 4, 0};
        for (int i = 0; i < 64; ++i) {
            iota[i] = uint8_t(i);
            endOf[i] = ends[i / 8];
            startOf[i] = starts[i / 8];
            step[i] = uint8_t(i % 8 - 8 - (i / 8 == 6 ? 8 : 0));   // byte j of a lane: end - 8 + j; the volume's high digits 8 earlier
            // For the old lines' test, end - 1 - j (the digits from the last), so that a lane, read
            // as a number, orders the fields as their values would.
            backStep[i] = uint8_t(-1 - i % 8 - (i / 8 == 6 ? 8 : 0));
        }
    }
};
inline constexpr Lanes512 kLanes512{};

// The fields of the common line of all (an eight-digit date and five fields of one to eight
// digits, the volume of up to sixteen), read with 64-byte registers: the separators' positions
// gathered into one register, every field moved to its own 64-bit lane (date, open, high, low,
// close, the volume's low eight digits, its higher ones, nothing) by one byte permutation, each
// byte of a lane taken from the lane's end + `step` (zero before the field's first digit). False
// for any other line. `firstDigits` marks each lane's byte that holds its eighth digit from the
// end (its sixteenth for the volume's higher digits): a longer field is refused.
[[gnu::always_inline]] VELOR_AVX512_FN inline bool commonLine512(const char *p, const uint8_t *step, uint64_t firstDigits, __m512i &fields,
                                                                unsigned &cr)
{
    const __m512i z = _mm512_loadu_si512(p);
    const __m512i digits = _mm512_xor_si512(z, _mm512_set1_epi8('0'));   // '0'..'9' become 0..9
    const uint64_t c = _mm512_cmpeq_epi8_mask(z, _mm512_set1_epi8(','));
    const uint64_t d = _mm512_cmplt_epu8_mask(digits, _mm512_set1_epi8(10));
    cr = unsigned(_tzcnt_u64(~(c | d)));
    if (cr > 62 || p[cr] != '\r' || p[cr + 1] != '\n') return false;
    const uint64_t within = _bzhi_u64(c, cr), seps = within | (uint64_t(1) << cr);
    // Five commas, the first after the date's eight digits, no field empty.
    if (_mm_popcnt_u64(within) != 5 || (within & 0x1FF) != 0x100 || (seps & (seps >> 1)) != 0) return false;
    // The separators' positions in bytes 0..5; each lane's end and start from them.
    const __m512i at = _mm512_maskz_compress_epi8(seps, _mm512_load_si512(kLanes512.iota));
    const __m512i index = _mm512_add_epi8(_mm512_permutexvar_epi8(_mm512_load_si512(kLanes512.endOf), at), _mm512_load_si512(step));
    const __m512i start = _mm512_mask_add_epi8(_mm512_setzero_si512(), 0x00FFFFFFFFFFFF00ULL,
                                               _mm512_permutexvar_epi8(_mm512_load_si512(kLanes512.startOf), at), _mm512_set1_epi8(1));
    // The field starts at or after its eighth digit's byte (a line of fields holds at least 18
    // bytes, so no byte wraps).
    if ((_mm512_cmpge_epu8_mask(start, index) & firstDigits) != firstDigits) return false;
    const uint64_t keep = _mm512_cmpge_epu8_mask(index, start) & 0x00FFFFFFFFFFFFFFULL;
    fields = _mm512_maskz_permutexvar_epi8(keep, index, digits);
    return true;
}

// The same lines as shortNumbersLine, read with 64-byte registers.
[[gnu::always_inline]] VELOR_AVX512_FN inline const char *shortNumbersLine512(const char *p, Bar &bar, bool &fit)
{
    __m512i f;
    unsigned cr;
    // Each lane's digits end in its last byte; its first byte holds the eighth from the end.
    if (!commonLine512(p, kLanes512.step, 0x0001000101010100ULL, f, cr)) return nullptr;
    // Pairs, fours, eights of digits: date, open, high, low, close, volume's low eight, its high, nothing.
    const __m512i m = _mm512_madd_epi16(_mm512_maddubs_epi16(f, _mm512_set1_epi16(0x010A)), _mm512_set1_epi32(0x00010064));
    const __m512i values = _mm512_add_epi64(_mm512_mul_epu32(m, _mm512_set1_epi64(10000)), _mm512_srli_epi64(m, 32));
    // A price of 2^24 or more may be rounded by the float reader: it reads those.
    if ((_mm512_cmpgt_epu64_mask(values, _mm512_set1_epi64(0xFFFFFF)) & 0x1E) != 0) return nullptr;
    // high >= open, high >= close, open >= low, close >= low
    const __m512i above = _mm512_permutexvar_epi64(_mm512_setr_epi64(2, 2, 1, 4, 0, 0, 0, 0), values),
                  below = _mm512_permutexvar_epi64(_mm512_setr_epi64(1, 4, 3, 3, 0, 0, 0, 0), values);
    fit &= (_mm512_cmpgt_epu64_mask(below, above) & 0xF) == 0;
    // The date as it is, the prices as floats, the volume from its two lanes as a double (plain
    // stores: the date is read back at once, and a masked store cannot hand its value to that read).
    bar.date = int32_t(_mm_cvtsi128_si32(_mm512_castsi512_si128(values)));
    const __m256 floats = _mm512_cvtepi64_ps(values);   // date, open, high, low, close, …
    _mm_storeu_ps(&bar.open, _mm_castsi128_ps(_mm256_castsi256_si128(_mm256_alignr_epi32(_mm256_setzero_si256(), _mm256_castps_si256(floats), 1))));
    const __m512i high = _mm512_alignr_epi64(values, values, 1);   // lane 5: the volume's higher digits
    const __m512i volume = _mm512_add_epi64(_mm512_mul_epu32(high, _mm512_set1_epi64(100000000)), values);
    bar.volume = _mm_cvtsd_f64(_mm512_castpd512_pd128(_mm512_permutexvar_pd(_mm512_set1_epi64(5), _mm512_cvtepi64_pd(volume))));
    return p + cr + 2;
}

// The same test for a line whose values nobody looks at (an old weekly or monthly bar): the same
// lines are read, with the same verdict on their high and low, but only the date is kept. The
// fields are compared as they stand, digits from the last in each lane, not turned into numbers.
[[gnu::always_inline]] VELOR_AVX512_FN inline const char *testedLine512(const char *p, Bar &bar, bool &fit)
{
    __m512i fields;
    unsigned cr;
    if (!commonLine512(p, kLanes512.backStep, 0x0080008080808000ULL, fields, cr)) return nullptr;
    // 16777215 as such a lane: no price of 2^24 or more, as the full reading refuses those.
    if ((_mm512_cmpgt_epu64_mask(fields, _mm512_set1_epi64(0x0106070707020105LL)) & 0x1E) != 0) return nullptr;
    const __m512i above = _mm512_permutexvar_epi64(_mm512_setr_epi64(2, 2, 1, 4, 0, 0, 0, 0), fields),
                  below = _mm512_permutexvar_epi64(_mm512_setr_epi64(1, 4, 3, 3, 0, 0, 0, 0), fields);
    fit &= (_mm512_cmpgt_epu64_mask(below, above) & 0xF) == 0;
    bar.date = int32_t(digitsValue(p, 8));
    return p + cr + 2;
}
#endif

// Where `count` more lines from p end (past their line feeds; the end of the bytes when there
// are fewer, the last line counting without one), sixteen bytes at a time.
const char *afterLines(const char *p, const char *end, int count)
{
#if defined(__SSE2__)
    for (; count > 0 && end - p >= 16; p += 16) {
        unsigned feeds = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), _mm_set1_epi8('\n'))));
        const int here = std::popcount(feeds);
        if (here < count) {
            count -= here;
            continue;
        }
        for (; count > 1; --count) feeds &= feeds - 1;
        return p + std::countr_zero(feeds) + 1;
    }
#endif
    for (; count > 0 && p < end; --count) {
        const void *nl = std::memchr(p, '\n', size_t(end - p));
        p = nl ? static_cast<const char *>(nl) + 1 : end;
    }
    return p;
}

// Days since 1970-01-01 of the first of every month from 1900-01 to 2201-01, and the months as
// YYYYMM00, by (year - 1900) * 12 + month - 1 (1900-01-01 is 25,567 days before 1970-01-01).
struct MonthStarts {
    static constexpr int kCount = 301 * 12 + 1;
    int32_t first[kCount]{}, ymd[kCount]{};
    constexpr MonthStarts()
    {
        int32_t n = -25567;
        for (int i = 0; i < kCount; ++i) {
            const int y = 1900 + i / 12, m = i % 12 + 1;
            first[i] = n, ymd[i] = y * 10000 + m * 100;
            n += y <= 2200 ? kMonthLengths.days[y * 100 + m - MonthLengths::kFirst] : 0;
        }
    }
};
inline constexpr MonthStarts kMonthStarts{};

// The first day of the week (from Monday) or the month a valid date falls in, and the first day
// of the next one, as YYYYMMDD: a day is in it when first <= day < next. Worked out once a
// period rather than once a day, the days then only need comparing; without branches, as weeks
// cross months in no pattern.
struct Period {
    int32_t first, next;
};
inline Period periodOf(int section, int32_t ymd)
{
    const int32_t ym = ymd / 100, day = ymd - ym * 100, month = (ym / 100 - 1900) * 12 + ym % 100 - 1;
    if (section == 2) return {kMonthStarts.ymd[month] + 1, kMonthStarts.ymd[month + 1] + 1};
    // 1970-01-01 (day 0) was a Thursday; 1900-01-01, the first valid date, a Monday.
    const int32_t dayNo = kMonthStarts.first[month] + day - 1, monday = dayNo - (dayNo + 3 + 7 * 4000) % 7, next = monday + 7;
    const int mondayMonth = month - (monday < kMonthStarts.first[month]), nextMonth = mondayMonth + (next >= kMonthStarts.first[mondayMonth + 1]);
    return {kMonthStarts.ymd[mondayMonth] + monday - kMonthStarts.first[mondayMonth] + 1,
            kMonthStarts.ymd[nextMonth] + next - kMonthStarts.first[nextMonth] + 1};
}

// periodOf through a small table of the periods last worked out: the weekly and monthly bars of
// one file after another mostly fall on the same dates.
inline Period cachedPeriodOf(int section, int32_t ymd)
{
    struct Entry {
        int32_t ymd = -1;   // no date
        Period period{};
    };
    thread_local Entry table[2][256];
    Entry &e = table[section - 1][uint32_t(ymd) * 2654435761u >> 24];
    if (e.ymd != ymd) e = {ymd, periodOf(section, ymd)};
    return e.period;
}

QString lineError(const QString &path, qsizetype lineNo)
{
    return QStringLiteral("ファイル：　") + path + QStringLiteral(" の ") + QString::number(lineNo) +
           QStringLiteral(" 行目が正しくありません。");
}

#define VELOR_PARSE_WITH parseWith
#define VELOR_PARSE_FN
#include "db/DataCheckSections.inc"
#undef VELOR_PARSE_WITH
#undef VELOR_PARSE_FN

#if VELOR_CHECK_AVX2
VELOR_AVX2_FN std::expected<void, QString> parsePricesAvx2(const QByteArray &bytes, const QString &path, int sections, CheckedBars &out)
{
    return parseWith(bytes, path, sections, out, [](const char *p, Bar &bar, bool &fit) VELOR_AVX2_FN {
        uint64_t commas, others;
        classify64(p, commas, others);
        if (const char *after = shortNumbersLine(p, commas, others, bar, fit)) return after;
        return wholeNumbersLine(p, bar, fit);
    });
}

#define VELOR_PARSE_WITH parseWith512
#define VELOR_PARSE_FN VELOR_AVX512_FN
#include "db/DataCheckSections.inc"
#undef VELOR_PARSE_WITH
#undef VELOR_PARSE_FN

VELOR_AVX512_FN std::expected<void, QString> parsePricesAvx512(const QByteArray &bytes, const QString &path, int sections, CheckedBars &out,
                                                              bool oldValues)
{
    const auto quick = [](const char *p, Bar &bar, bool &fit) __attribute__((always_inline)) VELOR_AVX512_FN {
        if (const char *after = shortNumbersLine512(p, bar, fit)) return after;
        return wholeNumbersLine(p, bar, fit);
    };
    const auto fast = [](const char *p, Bar &bar, bool &fit) __attribute__((always_inline)) VELOR_AVX512_FN { return shortNumbersLine512(p, bar, fit); };
    const auto tested = [](const char *p, Bar &bar, bool &fit) __attribute__((always_inline)) VELOR_AVX512_FN { return testedLine512(p, bar, fit); };
    if (oldValues) return parseWith512(bytes, path, sections, out, quick, nullptr, fast);
    return parseWith512(bytes, path, sections, out, quick, tested, fast);
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

bool wideAvailable()
{
#if VELOR_CHECK_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
    return avx2;
#else
    return false;
#endif
}

bool widestAvailable()
{
#if VELOR_CHECK_AVX2
    static const bool avx512 = wideAvailable() && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                               __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2");
    return avx512;
#else
    return false;
#endif
}

std::expected<void, QString> parsePrices(const QByteArray &bytes, const QString &path, int sections, CheckedBars &out,
                                         BarReading reading = BarReading::Widest, bool oldValues = true)
{
    if (reading == BarReading::Plain)
        return parseWith(bytes, path, sections, out, [](const char *, Bar &, bool &) -> const char * { return nullptr; });
#if VELOR_CHECK_AVX2
    if (reading == BarReading::Widest && widestAvailable()) return parsePricesAvx512(bytes, path, sections, out, oldValues);
    if (reading >= BarReading::Wide && wideAvailable()) return parsePricesAvx2(bytes, path, sections, out);
#endif
    return parseWith(bytes, path, sections, out, wholeNumbersLine);
}

QString barValues(const Bar &b)
{
    return QStringLiteral("始値 ") + singleText(b.open) + QStringLiteral(" 高値 ") + singleText(b.high) +
           QStringLiteral(" 安値 ") + singleText(b.low) + QStringLiteral(" 終値 ") + singleText(b.close) +
           QStringLiteral(" 出来高 ") + doubleText(b.volume);
}

QString isoDate(int32_t d)
{
    return QStringLiteral("%1-%2-%3").arg(d / 10000).arg(d / 100 % 100, 2, 10, QLatin1Char('0')).arg(d % 100, 2, 10, QLatin1Char('0'));
}

bool sameValue(float a, float b) { return a == b || std::abs(double(a) - double(b)) <= 1e-6 * std::max(std::abs(double(a)), std::abs(double(b))); }

bool sameBar(const Bar &a, const Bar &b)
{
    return a.date == b.date && sameValue(a.open, b.open) && sameValue(a.high, b.high) && sameValue(a.low, b.low) &&
           sameValue(a.close, b.close) && std::abs(a.volume - b.volume) <= 0.5;
}

// No negative value, NaN or infinity (a comparison with NaN is false). Only sections the line
// readers could not vouch for come here, so plain comparisons do.
inline bool finite(const Bar &b)
{
    const auto fine = [](float x) { return x >= 0 && x <= std::numeric_limits<float>::max(); };
    return b.volume >= 0 && b.volume <= std::numeric_limits<double>::max() && fine(b.open) && fine(b.high) && fine(b.low) && fine(b.close);
}

// The high at or above the open and the close, the low at or below them (values that are finite).
inline bool highLowFit(const Bar &b) { return !(b.high < b.open || b.high < b.close || b.low > b.open || b.low > b.close); }

class FileCheck {
public:
    FileCheck(const CheckedBars &parsed, int code, const QString &path, const PriceCheckContext &ctx)
        : m_sec(parsed.sections), m_fit(parsed.fit), m_code(code), m_path(path), m_ctx(ctx)
    {
    }

    std::vector<CheckFinding> run(int dailyCount)
    {
        bool ordered[3];
        for (int s = 0; s < 3; ++s) ordered[s] = values(s);
        if (ordered[0]) {
            missingDays();
            if (m_code >= 1301 && m_ctx.checkLimits) priceLimits();
            for (int s = 1; s <= 2; ++s)
                if (ordered[s]) periodBars(s, dailyCount < kSectionLines);
        }
        return std::move(m_out);
    }

private:
    // (The file's name is made only for a finding: most files have none.)
    void add(CheckKind kind, int32_t date, const QString &what)
    {
        m_out.push_back({kind, m_path.mid(m_path.lastIndexOf(QLatin1Char('/')) + 1), date, what});
    }

    // Values and the order of dates in one section; false when its dates are out of order.
    bool values(int s)
    {
        bool ordered = true;
        const auto &bars = m_sec[size_t(s)];
        if (m_fit[size_t(s)]) return true;
        for (size_t k = 0; k < bars.size(); ++k) {
            const Bar &b = bars[k];
            if (!finite(b)) [[unlikely]]
                add(CheckKind::BarValues, b.date, sectionName(s) + QStringLiteral("に負の値または数でない値があります（") + barValues(b) + QStringLiteral("）"));
            else if (!highLowFit(b)) [[unlikely]]
                add(CheckKind::BarValues, b.date, sectionName(s) + QStringLiteral("の高値・安値が始値・終値と矛盾しています（") + barValues(b) + QStringLiteral("）"));
            if (!validDate(b.date)) [[unlikely]] {
                add(CheckKind::DateOrder, b.date, sectionName(s) + QStringLiteral("の日付 ") + QString::number(b.date) + QStringLiteral(" は日付ではありません"));
                ordered = false;
            } else if (k > 0 && b.date >= bars[k - 1].date) [[unlikely]] {
                add(CheckKind::DateOrder, b.date, sectionName(s) + QStringLiteral("の日付が一つ上の行の ") + QString::number(bars[k - 1].date) +
                                                      QStringLiteral(" より古くありません"));
                ordered = false;
            }
        }
        return ordered;
    }

    // Every trading day of 1001 between the stock's oldest and newest daily bar has a bar.
    void missingDays()
    {
        const auto days = m_ctx.tradingDays;
        if (days.empty() || m_daily.empty()) return;
        const int32_t from = std::max(m_daily.front().date, days.front()), to = std::min(m_daily.back().date, days.back());
        const auto first = std::lower_bound(days.begin(), days.end(), from);
        auto have = m_daily.begin();
        {   // Mostly each trading day has its bar and there is none between them: both run in step.
            auto t = first;
            for (auto h = std::ranges::lower_bound(m_daily, from, {}, &Bar::date); t != days.end() && *t <= to && h != m_daily.end() && h->date == *t;)
                ++t, ++h;
            if (t == days.end() || *t > to) return;
        }
        for (auto t = first; t != days.end() && *t <= to; ++t) {
            while (have != m_daily.end() && have->date < *t) ++have;
            if (have == m_daily.end() || have->date != *t)
                add(CheckKind::MissingDays, *t, QStringLiteral("日足がありません（1001 の取引日です）"));
        }
    }

    // A close beyond the limit from the last traded close, as the import judges it.
    void priceLimits()
    {
        {   // Mostly every day traded and moved by less than any limit: settled in one pass.
            const auto &days = m_sec[0];   // newest first
            bool plain = days.empty() || (days.back().volume > 0 && days.back().close > 0);
            for (size_t k = 0; k + 1 < days.size(); ++k) {
                const Bar &b = days[k];
                const double previous = days[k + 1].close;
                plain &= (b.volume > 0) & (b.close > 0) & (previous < 1000000) & (std::abs(double(b.close) - previous) <= kLimitShare * previous);
            }
            if (plain) return;
        }
        std::optional<float> previous;
        for (const Bar &b : m_daily) {
            const auto beyond = [&] {
                const double move = std::abs(double(b.close) - *previous);
                // Below 1,000,000 yen no limit is as small as 14 % of the price: most days end here.
                if (*previous < 1000000 && move <= kLimitShare * *previous) return false;
                return move > dailyPriceLimit(*previous) &&
                       std::none_of(m_ctx.actions.begin(), m_ctx.actions.end(), [&](const CorporateAction &a) { return a.exDate == b.date; });
            };
            if (previous && b.volume > 0 && beyond()) {
                QString what = QStringLiteral("終値 ") + singleText(b.close) + QStringLiteral(" が前日の ") + singleText(*previous) +
                               QStringLiteral(" から値幅制限（") + doubleText(dailyPriceLimit(*previous)) + QStringLiteral(" 円）を超えて動いています");
                if (const auto r = suggestedRatio(*previous, b.close)) {
                    const QString ratio = doubleText(r->first) + QLatin1Char(':') + doubleText(r->second);
                    what += QStringLiteral("。") + ratio + QStringLiteral(" の株式分割・併合なら記録してください： velor split add ") +
                            codeText(m_code) + QLatin1Char(' ') + isoDate(b.date) + QLatin1Char(' ') + ratio;
                }
                add(CheckKind::PriceLimit, b.date, what);
            }
            if (b.volume > 0 && b.close > 0) previous = b.close;
        }
    }

    // Each weekly or monthly bar whose whole period the daily section covers, against the bar
    // the import builds from those days.
    void periodBars(int s, bool dailyComplete)
    {
        const std::vector<Bar> &days = m_sec[0];   // newest first, as the periods
        if (days.empty()) return;
        const bool everyDayCounts = m_code < 1301;
        // days[newest, end) are the days of the period; both only move to older days. A period
        // after the one before starts looking past that one's days (a second bar of the same
        // period is held to the same days).
        size_t newest = 0, end = 0;
        int32_t before = 0;   // the first day of the period before
        for (const Bar &w : m_sec[size_t(s)]) {
            const Period period = cachedPeriodOf(s, w.date);
            // Once a period starts before the daily bars, so do all after it.
            if (!dailyComplete && days.back().date >= period.first) break;
            if (period.first != before) newest = end, before = period.first;
            while (newest < days.size() && days[newest].date >= period.next) ++newest;
            end = newest;
            while (end < days.size() && days[end].date >= period.first) ++end;
            if (end == newest) {
                add(CheckKind::PeriodBars, w.date, sectionName(s) + QStringLiteral("の期間に日足がありません"));
                continue;
            }
            Bar r{days[newest].date, 0, 0, 0, 0, 0};
            bool traded = false;
            for (size_t i = end; i-- > newest;) {   // oldest first, as the import adds them up
                const Bar &d = days[i];
                r.volume += d.volume;
                if (!(d.volume > 0 || everyDayCounts)) continue;
                if (!traded) r.open = d.open, r.high = d.high, r.low = d.low, traded = true;
                r.high = std::max(r.high, d.high), r.low = std::min(r.low, d.low), r.close = d.close;
            }
            if (!traded) r.open = r.high = r.low = r.close = closeBefore(end);
            if (!sameBar(r, w)) [[unlikely]]
                add(CheckKind::PeriodBars, w.date, sectionName(s) + QStringLiteral("が日足と合いません（") + barValues(w) +
                                                     QStringLiteral("、日足からは ") + QString::number(r.date) + QLatin1Char(' ') +
                                                     barValues(r) + QStringLiteral("）"));
        }
    }

    // The close a period of days without trade stays flat at: the last traded close before it
    // (days[end] is the day before the period).
    float closeBefore(size_t end) const
    {
        const std::vector<Bar> &days = m_sec[0];
        for (size_t i = end; i < days.size(); ++i)
            if (days[i].volume > 0) return days[i].close;
        return end < days.size() ? days[end].close : days[end - 1].close;
    }

    const PriceSections &m_sec;
    std::array<bool, 3> m_fit;
    int m_code;
    const QString &m_path;
    const PriceCheckContext &m_ctx;
    // The daily bars oldest first (a view of the section, not a copy).
    std::ranges::reverse_view<std::ranges::ref_view<const std::vector<Bar>>> m_daily{std::ranges::ref_view(m_sec[0])};
    std::vector<CheckFinding> m_out;
};

} // namespace

QString checkKindName(CheckKind kind)
{
    switch (kind) {
    case CheckKind::BarValues: return QStringLiteral("高値・安値の矛盾と負の値");
    case CheckKind::DateOrder: return QStringLiteral("日付の順序");
    case CheckKind::MissingDays: return QStringLiteral("日足の抜け");
    case CheckKind::PriceLimit: return QStringLiteral("値幅制限を超える値動き");
    case CheckKind::PeriodBars: return QStringLiteral("週足・月足と日足の不一致");
    case CheckKind::MasterFiles: return QStringLiteral("銘柄一覧と株価ファイルの不一致");
    }
    return {};
}

QString findingLine(const CheckFinding &f)
{
    return f.file + QLatin1Char(',') + (f.date != 0 ? QString::number(f.date) : QString()) + QLatin1Char(',') + f.what;
}

std::expected<std::vector<CheckFinding>, QString> checkPriceBytes(const QByteArray &bytes, int code, const QString &path,
                                                                  const PriceCheckContext &context)
{
    thread_local CheckedBars parsed;   // its tables are reused from file to file
    if (auto r = parsePrices(bytes, path, 3, parsed, BarReading::Widest, false); !r) return std::unexpected(r.error());
    return FileCheck(parsed, code, path, context).run(int(parsed.sections[0].size()));
}

std::expected<std::vector<int32_t>, QString> dailyDates(const QByteArray &bytes, const QString &path)
{
    CheckedBars parsed;
    if (auto r = parsePrices(bytes, path, 1, parsed); !r) return std::unexpected(r.error());
    std::vector<int32_t> out;
    for (auto it = parsed.sections[0].rbegin(); it != parsed.sections[0].rend(); ++it) out.push_back(it->date);
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

std::pair<int32_t, int32_t> checkPeriod(int section, int32_t ymd)
{
    const Period p = cachedPeriodOf(section, ymd);   // through the table, as the check asks
    return {p.first, p.next};
}

bool barReadingAvailable(BarReading reading)
{
    return reading == BarReading::Widest ? widestAvailable() : reading != BarReading::Wide || wideAvailable();
}

std::expected<CheckedBars, QString> readCheckedBars(const QByteArray &bytes, const QString &path, BarReading reading, bool oldValues)
{
    CheckedBars out;
    if (auto r = parsePrices(bytes, path, 3, out, reading, oldValues); !r) return std::unexpected(r.error());
    return out;
}

std::array<int, kCheckKinds> DataCheckReport::counts() const
{
    std::array<int, kCheckKinds> n{};
    for (const auto &f : findings) ++n[size_t(f.kind)];
    return n;
}

} // namespace velor
