#include "test_support.h"

#include <sys/wait.h>
#include <stdlib.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "archive_writer.h"

namespace pstgen_test {
namespace {

std::string shell_quote(const std::string& word) {
  std::string out = "'";
  for (char c : word) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

}  // namespace

std::string ArchiveTest::write(const pstgen::Archive& archive) {
  const std::string path = dir_.file("archive.pst");
  pstgen::write_file(archive, path);
  return path;
}

ScratchDir::ScratchDir() {
  std::string name = (std::filesystem::temp_directory_path() / "pstgen_test_XXXXXX").string();
  if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot create a scratch directory");
  path_ = name;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

CommandResult run_program(const std::string& program, const std::vector<std::string>& args) {
  std::string command = shell_quote(program);
  for (const std::string& a : args) command += " " + shell_quote(a);
  command += " 2>&1";
  CommandResult result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + program);
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace pstgen_test
