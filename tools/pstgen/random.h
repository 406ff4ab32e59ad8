// A small deterministic random generator (xoshiro256** seeded through
// splitmix64): the same seed gives the same sequence on every platform.
#ifndef PSTGEN_RANDOM_H_
#define PSTGEN_RANDOM_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace pstgen {

class Random {
 public:
  explicit Random(uint64_t seed);

  uint64_t next();
  // Uniform in [0, bound). REQUIRES: bound > 0.
  uint64_t below(uint64_t bound);
  // Uniform in [low, high]. REQUIRES: low <= high.
  uint64_t between(uint64_t low, uint64_t high);
  // True with probability 1 / n. REQUIRES: n > 0.
  bool one_in(uint64_t n) { return below(n) == 0; }
  // `size` random bytes.
  std::string bytes(size_t size);

 private:
  uint64_t s_[4];
};

}  // namespace pstgen

#endif  // PSTGEN_RANDOM_H_
