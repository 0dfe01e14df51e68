// The progress line's number, worked out from the double's bits. printf's
// "%f" would take its decimal point from the C runtime's locale, which is
// one for the whole process and any other module of the game may change;
// the standard library's own conversion is locale-free but brings 170 KiB of
// tables into a DLL that needs six decimals of one number.
#include <bit>
#include <cstring>

#include "workers/cpu_worker.h"

namespace bw {
namespace {

using Wide = unsigned __int128;
constexpr std::uint64_t kUnitsPerWhole = 1000000;  // six decimals
constexpr std::uint32_t kLimbBase = 1000000000;    // nine decimal digits a limb
// 2^1024 < 10^309, so 35 limbs hold the integer part of any double.
constexpr int kLimbsMax = 35;

// The decimal digits of `value`, zero-padded to at least `minDigits`.
char* PutDigits(char* out, Wide value, int minDigits) {
    char reversed[40];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0 || count < minDigits);
    while (count > 0) *out++ = reversed[--count];
    return out;
}

// mantissa * 2^exponent, a whole number of up to 309 digits, doubled one bit
// at a time in base-10^9 limbs.
char* PutWholeNumber(char* out, std::uint64_t mantissa, int exponent) {
    std::uint32_t limbs[kLimbsMax] = {};
    int count = 0;
    do {
        limbs[count++] = static_cast<std::uint32_t>(mantissa % kLimbBase);
        mantissa /= kLimbBase;
    } while (mantissa != 0);
    for (int bit = 0; bit < exponent; ++bit) {
        std::uint32_t carry = 0;
        for (int l = 0; l < count; ++l) {
            const std::uint32_t doubled = limbs[l] * 2 + carry;
            carry = doubled >= kLimbBase ? 1 : 0;
            limbs[l] = doubled - carry * kLimbBase;
        }
        if (carry != 0) limbs[count++] = carry;
    }
    out = PutDigits(out, limbs[count - 1], 1);
    for (int l = count - 2; l >= 0; --l) out = PutDigits(out, limbs[l], 9);
    return out;
}

}  // namespace

ProgressNumberText FormatProgressNumber(double accumulator) noexcept {
    ProgressNumberText text{};
    char* out = text.data();
    const auto bits = std::bit_cast<std::uint64_t>(accumulator);
    if ((bits >> 63) != 0) *out++ = '-';
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7FF) {
        std::memcpy(out, mantissa != 0 ? "nan" : "inf", 4);
        return text;
    }
    // The value is exactly mantissa * 2^exponent.
    const int exponent = biasedExponent == 0 ? -1074 : biasedExponent - 1075;
    if (biasedExponent != 0) mantissa |= std::uint64_t{1} << 52;

    if (exponent >= 0) {
        std::memcpy(PutWholeNumber(out, mantissa, exponent), ".000000", 8);
        return text;
    }
    // Millionths, rounded to nearest with ties to even as printf rounds them.
    // mantissa * 10^6 < 2^73, and from 74 bits of shift on it is below half
    // a millionth, which rounds to 0.
    const Wide scaled = Wide{mantissa} * kUnitsPerWhole;
    const int shift = -exponent;
    Wide units = 0;
    if (shift < 74) {
        units = scaled >> shift;
        const Wide rest = scaled - (units << shift);
        const Wide half = Wide{1} << (shift - 1);
        if (rest > half || (rest == half && (units & 1) != 0)) ++units;
    }
    out = PutDigits(out, units / kUnitsPerWhole, 1);
    *out++ = '.';
    *PutDigits(out, units % kUnitsPerWhole, 6) = '\0';
    return text;
}

}  // namespace bw
