// The weak CRC-32 of our libpff build (zlib's crc32_z) against Debian's
// build of the same function (a byte-at-a-time table loop), loaded from the
// system's libpff.so.1: random data, every length up to 70 KiB, each length
// at one of 16 alignments in turn, random initial values.
#include <dlfcn.h>

#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

using WeakCrc32 = int (*)(uint32_t*, const uint8_t*, size_t, uint32_t, void**);
extern "C" int libfmapi_checksum_calculate_weak_crc32(uint32_t*, const uint8_t*, size_t, uint32_t,
                                                      void**);

TEST(WeakCrc32, AgreesWithDebiansLibpffOnEveryLength) {
  void* debian = dlopen("libpff.so.1", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(debian, nullptr) << dlerror();
  const auto theirs = reinterpret_cast<WeakCrc32>(dlsym(debian, "libfmapi_checksum_calculate_weak_crc32"));
  ASSERT_TRUE(theirs != nullptr && theirs != &libfmapi_checksum_calculate_weak_crc32);
  std::mt19937 random(20180714);
  std::vector<uint8_t> data(70 * 1024 + 16);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(random());
  for (size_t size = 0; size <= 70 * 1024; ++size) {
    const uint8_t* buffer = data.data() + size % 16;
    const uint32_t initial = size < 16 ? 0 : static_cast<uint32_t>(random());
    uint32_t ours = 1, expected = 2;
    ASSERT_EQ(libfmapi_checksum_calculate_weak_crc32(&ours, buffer, size, initial, nullptr) +
                  theirs(&expected, buffer, size, initial, nullptr), 2);
    ASSERT_EQ(ours, expected) << "size " << size << ", alignment " << size % 16;
  }
}
