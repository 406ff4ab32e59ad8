#include "random.h"

namespace pstgen {
namespace {

uint64_t splitmix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

}  // namespace

Random::Random(uint64_t seed) {
  for (uint64_t& s : s_) s = splitmix64(seed);
}

uint64_t Random::next() {
  const uint64_t result = rotl(s_[1] * 5, 7) * 9;
  const uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = rotl(s_[3], 45);
  return result;
}

uint64_t Random::below(uint64_t bound) {
  // Rejection keeps the result uniform for bounds that do not divide 2^64.
  const uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
  uint64_t x = next();
  while (x >= limit) x = next();
  return x % bound;
}

uint64_t Random::between(uint64_t low, uint64_t high) {
  if (high - low == UINT64_MAX) return next();
  return low + below(high - low + 1);
}

std::string Random::bytes(size_t size) {
  std::string out(size, '\0');
  for (size_t at = 0; at < size; at += 8) {
    const uint64_t word = next();
    for (size_t k = 0; k < 8 && at + k < size; ++k) out[at + k] = static_cast<char>(word >> (8 * k));
  }
  return out;
}

}  // namespace pstgen
