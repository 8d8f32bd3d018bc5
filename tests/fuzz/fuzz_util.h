// Helpers shared by the fuzz targets: the input bytes as a read stream, an
// in-memory write stream, quiet readers and the invariant check.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace domlp_fuzz {

// Fails the run with a message; libFuzzer reports the abort with its input.
// Written straight to file descriptor 2, which the quiet console keeps.
[[noreturn]] inline void fail(const char* what) {
  std::string msg = std::string("invariant broken: ") + what + "\n";
  if (::write(2, msg.data(), msg.size()) < 0) {
    // Nothing more can be said; the abort below is the report.
  }
  std::abort();
}

#define FUZZ_CHECK(cond)                    \
  do {                                      \
    if (!(cond)) ::domlp_fuzz::fail(#cond); \
  } while (0)

// A read stream over a copy of some bytes, closed when it goes out of scope.
class mem_file {
 public:
  explicit mem_file(std::string_view bytes) : buf_(bytes.begin(), bytes.end()) {
    // One byte more, so that an empty input still has a buffer to point at.
    buf_.push_back('\0');
    f_ = fmemopen(buf_.data(), bytes.size(), "r");
    if (!f_) fail("cannot open a memory stream");
  }
  ~mem_file() { std::fclose(f_); }
  mem_file(const mem_file&) = delete;
  mem_file& operator=(const mem_file&) = delete;
  FILE* get() const { return f_; }

 private:
  std::vector<char> buf_;
  FILE* f_ = nullptr;
};

// Collects what is written to a stream.
class mem_sink {
 public:
  mem_sink() {
    f_ = open_memstream(&buf_, &len_);
    if (!f_) fail("cannot open a memory write stream");
  }
  ~mem_sink() {
    if (f_) std::fclose(f_);
    std::free(buf_);
  }
  mem_sink(const mem_sink&) = delete;
  mem_sink& operator=(const mem_sink&) = delete;
  FILE* get() const { return f_; }
  // Closes the stream and returns the text written.
  std::string text() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
    return std::string(buf_ ? buf_ : "", len_);
  }

 private:
  FILE* f_ = nullptr;
  char* buf_ = nullptr;
  size_t len_ = 0;
};

// The readers print counts and warnings for every input: on the console
// they slow the fuzzer down and bury its report. The C streams stdout and
// stderr are pointed at a stream that drops everything written to it, while
// libFuzzer and the sanitizers go on writing to file descriptor 2. With
// DOMLP_FUZZ_VERBOSE set in the environment the output is kept, to see it
// while reproducing a finding.
inline void quiet_console() {
  if (std::getenv("DOMLP_FUZZ_VERBOSE")) return;
  cookie_io_functions_t io{};
  io.write = [](void*, const char*, size_t n) -> ssize_t { return static_cast<ssize_t>(n); };
  FILE* sink = fopencookie(nullptr, "w", io);
  if (!sink) return;
  stdout = sink;
  stderr = sink;
}

// The readers take their input in blocks of this size; a line that crosses a
// block boundary is joined from two reads.
constexpr size_t kReadBlock = size_t{1} << 20;

// Input that begins with the byte 0xff is shifted so that it crosses the
// readers' block boundary: a filler line (the count line, which the pair and
// domain readers skip) of nearly one block comes first, its length set by the
// second byte. Any other input is used as it is.
inline std::string shape_input(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (size < 2 || data[0] != 0xff) return std::string(bytes);
  std::string s(kReadBlock - 1 - data[1], '#');
  s.append(bytes.substr(2));
  return s;
}

// The lines of a text as the readers see them: split at '\n', the line break
// dropped; a last line without a line break counts when it is not empty.
inline std::vector<std::string_view> split_lines(std::string_view s) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < s.size()) {
    size_t nl = s.find('\n', start);
    if (nl == std::string_view::npos) {
      lines.push_back(s.substr(start));
      break;
    }
    lines.push_back(s.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

// The tokens of a line, split at any byte of `delims`.
inline std::vector<std::string_view> split_tokens(std::string_view line, std::string_view delims) {
  std::vector<std::string_view> toks;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t start = line.find_first_not_of(delims, pos);
    if (start == std::string_view::npos) break;
    size_t end = line.find_first_of(delims, start);
    if (end == std::string_view::npos) end = line.size();
    toks.push_back(line.substr(start, end - start));
    pos = end;
  }
  return toks;
}

}  // namespace domlp_fuzz
