#include "analysis/exact_fma.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace mirl {
namespace analysis {
namespace {

// A 128-bit unsigned integer in two halves.
struct U128 {
  std::uint64_t hi = 0;
  std::uint64_t lo = 0;
};

bool IsZero(const U128& x) { return x.hi == 0 && x.lo == 0; }

// Position of the highest set bit (x not zero).
int HighestBit(const U128& x) {
  if (x.hi != 0) return 127 - __builtin_clzll(x.hi);
  return 63 - __builtin_clzll(x.lo);
}

U128 ShiftLeft(const U128& x, int s) {
  if (s == 0) return x;
  if (s >= 64) return {x.lo << (s - 64), 0};
  return {(x.hi << s) | (x.lo >> (64 - s)), x.lo << s};
}

// x >> s with every bit shifted out folded into bit 0, so that what lay
// below still decides a rounding that falls exactly between two values.
U128 ShiftRightSticky(const U128& x, int s) {
  if (s == 0) return x;
  if (s >= 128) return {0, IsZero(x) ? 0u : 1u};
  U128 r;
  std::uint64_t lost;
  if (s >= 64) {
    r = {0, s == 64 ? x.hi : x.hi >> (s - 64)};
    lost = x.lo | (s == 64 ? 0 : x.hi << (128 - s));
  } else {
    r = {x.hi >> s, (x.lo >> s) | (x.hi << (64 - s))};
    lost = x.lo << (64 - s);
  }
  if (lost != 0) r.lo |= 1;
  return r;
}

U128 ShiftRight(const U128& x, int s) {
  if (s == 0) return x;
  if (s >= 64) return {0, x.hi >> (s - 64)};
  return {x.hi >> s, (x.lo >> s) | (x.hi << (64 - s))};
}

U128 Add(const U128& x, const U128& y) {
  U128 r{x.hi + y.hi, x.lo + y.lo};
  if (r.lo < x.lo) ++r.hi;
  return r;
}

U128 Subtract(const U128& x, const U128& y) {
  U128 r{x.hi - y.hi, x.lo - y.lo};
  if (x.lo < y.lo) --r.hi;
  return r;
}

bool Less(const U128& x, const U128& y) { return x.hi < y.hi || (x.hi == y.hi && x.lo < y.lo); }

U128 Multiply(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32;
  const std::uint64_t b0 = b & 0xffffffffu, b1 = b >> 32;
  const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const std::uint64_t middle = (p00 >> 32) + (p01 & 0xffffffffu) + (p10 & 0xffffffffu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xffffffffu)};
}

// A finite double as sign, integer significand and exponent:
// value = (-1)^negative * significand * 2^exponent.
struct Parts {
  bool negative;
  std::uint64_t significand;
  int exponent;
};

Parts Split(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  const int field = static_cast<int>((bits >> 52) & 0x7ff);
  std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
  if (field != 0) significand |= std::uint64_t{1} << 52;
  return {(bits >> 63) != 0, significand, (field == 0 ? 1 : field) - 1075};
}

// Both operands are placed with their top bit here: 70 and more guard bits
// lie below a 53-bit result, and a carry still fits.
constexpr int kTop = 125;

}  // namespace

double ExactFmaInteger(double a, double b, double c) {
  // With a zero operand only one rounding remains, the ordinary one.
  if (a == 0 || b == 0 || c == 0) return a * b + c;
  const Parts pa = Split(a), pb = Split(b), pc = Split(c);
  U128 x = Multiply(pa.significand, pb.significand);
  int x_exp = pa.exponent + pb.exponent;
  bool x_negative = pa.negative != pb.negative;
  U128 y{0, pc.significand};
  int y_exp = pc.exponent;
  bool y_negative = pc.negative;

  int shift = kTop - HighestBit(x);
  x = ShiftLeft(x, shift);
  x_exp -= shift;
  shift = kTop - HighestBit(y);
  y = ShiftLeft(y, shift);
  y_exp -= shift;

  // x becomes the operand of larger magnitude.
  if (y_exp > x_exp || (y_exp == x_exp && Less(x, y))) {
    std::swap(x, y);
    std::swap(x_exp, y_exp);
    std::swap(x_negative, y_negative);
  }
  const long long distance = static_cast<long long>(x_exp) - y_exp;
  y = ShiftRightSticky(y, distance > 128 ? 128 : static_cast<int>(distance));
  const U128 sum = x_negative == y_negative ? Add(x, y) : Subtract(x, y);
  // Cancellation to nothing happens only when the operands were close, so
  // unshifted and exact: the result is an exact zero, +0 when rounding to
  // nearest.
  if (IsZero(sum)) return 0.0;

  int drop = HighestBit(sum) - 52;
  std::uint64_t significand;
  if (drop <= 0) {
    // Deep cancellation: the difference is exact and short.
    significand = sum.lo << -drop;
  } else {
    significand = ShiftRight(sum, drop).lo;
    const U128 below = Subtract(sum, ShiftLeft(U128{0, significand}, drop));
    const U128 half = ShiftLeft(U128{0, 1}, drop - 1);
    if (Less(half, below) || (!Less(below, half) && (significand & 1) != 0)) {
      if (++significand == std::uint64_t{1} << 53) {
        significand >>= 1;
        ++drop;
      }
    }
  }
  const double magnitude = std::ldexp(static_cast<double>(significand), x_exp + drop);
  return x_negative ? -magnitude : magnitude;
}

}  // namespace analysis
}  // namespace mirl
