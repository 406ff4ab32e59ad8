// Replays inputs through the fuzz target's own code
// (tools/fuzz/export_fuzzer.cc) without libFuzzer: each file named on the
// command line is exported once; arguments starting with '-' (libFuzzer's
// options) are skipped. Prints "replayed N" on standard error when all have
// run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The target's mutator hooks call libFuzzer's; a replay never mutates.
extern "C" size_t LLVMFuzzerMutate(uint8_t*, size_t size, size_t) { return size; }

int main(int argc, char** argv) {
  LLVMFuzzerInitialize(&argc, &argv);
  int replayed = 0;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') continue;
    std::ifstream file(argv[i], std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (!file.is_open() || file.bad()) {
      std::fprintf(stderr, "fuzz_replay: cannot read %s\n", argv[i]);
      return 2;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  std::fprintf(stderr, "replayed %d\n", replayed);
  return 0;
}
