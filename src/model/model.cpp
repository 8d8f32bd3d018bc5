#include "model.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace domlp {

int find_prot(const node_table& t, std::string_view name) {
  auto it = t.prot_by_name.find(name);
  return it == t.prot_by_name.end() ? -1 : it->second;
}

int add_prot(node_table& t, std::string_view name) {
  int q = find_prot(t, name);
  if (q >= 0) return q;
  q = static_cast<int>(t.prot.size());
  node p;
  p.name.assign(name);
  t.prot.push_back(std::move(p));
  t.prot_by_name.emplace(std::string(name), q);
  return q;
}

// ---------------------------------------------------------------------------
// pair_index

static constexpr uint64_t kEmpty = ~uint64_t{0};

uint64_t pair_index::key(int a, int b) {
  if (a > b) std::swap(a, b);
  return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
}

size_t pair_index::slot(uint64_t k) const {
  uint64_t h = k * 0x9E3779B97F4A7C15ull;
  h ^= h >> 29;
  return static_cast<size_t>(h) & (keys_.size() - 1);
}

void pair_index::reserve(size_t n) {
  size_t cap = 16;
  while (cap < n + n / 2 + 1) cap <<= 1;
  if (cap <= keys_.size()) return;
  std::vector<uint64_t> ok(cap, kEmpty);
  std::vector<int> ov(cap, -1);
  ok.swap(keys_);
  ov.swap(vals_);
  used_ = 0;
  for (size_t s = 0; s < ok.size(); ++s) {
    if (ok[s] == kEmpty) continue;
    size_t x = slot(ok[s]);
    while (keys_[x] != kEmpty) x = (x + 1) & (keys_.size() - 1);
    keys_[x] = ok[s];
    vals_[x] = ov[s];
    ++used_;
  }
}

void pair_index::grow() { reserve(keys_.empty() ? 16 : keys_.size()); }

int pair_index::get(int a, int b) const {
  if (keys_.empty()) return -1;
  uint64_t k = key(a, b);
  for (size_t x = slot(k);; x = (x + 1) & (keys_.size() - 1)) {
    if (keys_[x] == k) return vals_[x];
    if (keys_[x] == kEmpty) return -1;
  }
}

void pair_index::set(int a, int b, int pos) {
  if ((used_ + 1) * 3 > keys_.size() * 2) grow();
  uint64_t k = key(a, b);
  size_t x = slot(k);
  while (keys_[x] != kEmpty && keys_[x] != k) x = (x + 1) & (keys_.size() - 1);
  if (keys_[x] == kEmpty) {
    keys_[x] = k;
    ++used_;
  }
  vals_[x] = pos;
}

// ---------------------------------------------------------------------------
// line_reader

static constexpr size_t kBufSize = 1 << 20;

line_reader::line_reader(FILE* f) : f_(f), buf_(kBufSize) {}

bool line_reader::fill() {
  pos_ = 0;
  end_ = 0;
  if (eof_ || err_) return false;
  errno = 0;
  size_t got = std::fread(buf_.data(), 1, buf_.size(), f_);
  end_ = got;
  if (got < buf_.size()) {
    if (std::ferror(f_)) err_ = errno ? errno : EIO;
    else eof_ = true;
  }
  return got > 0;
}

bool line_reader::next(std::string_view& line) {
  carry_.clear();
  bool carrying = false;
  for (;;) {
    if (pos_ == end_ && !fill()) {
      if (err_ || !carrying) return false;
      had_newline_ = false;
      ++line_no_;
      line = carry_;
      return true;
    }
    const char* start = buf_.data() + pos_;
    const char* nl = static_cast<const char*>(std::memchr(start, '\n', end_ - pos_));
    if (nl) {
      size_t len = static_cast<size_t>(nl - start);
      pos_ += len + 1;
      had_newline_ = true;
      ++line_no_;
      if (carrying) {
        carry_.append(start, len);
        line = carry_;
      } else {
        line = std::string_view(start, len);
      }
      return true;
    }
    carry_.append(start, end_ - pos_);
    carrying = true;
    pos_ = end_;
  }
}

// ---------------------------------------------------------------------------
// text_writer

text_writer::text_writer(FILE* f) : f_(f), buf_(kBufSize) {}

void text_writer::put(std::string_view s) {
  if (s.size() > buf_.size() - len_) {
    flush();
    if (s.size() > buf_.size()) {
      if (!err_ && std::fwrite(s.data(), 1, s.size(), f_) != s.size()) err_ = errno ? errno : EIO;
      return;
    }
  }
  std::memcpy(buf_.data() + len_, s.data(), s.size());
  len_ += s.size();
}

void text_writer::put(char c) {
  if (len_ == buf_.size()) flush();
  buf_[len_++] = c;
}

void text_writer::put_int(long long v) {
  char tmp[24];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  put(std::string_view(tmp, static_cast<size_t>(r.ptr - tmp)));
}

bool text_writer::flush() {
  if (len_ && !err_ && std::fwrite(buf_.data(), 1, len_, f_) != len_) err_ = errno ? errno : EIO;
  len_ = 0;
  if (!err_ && std::fflush(f_) != 0) err_ = errno ? errno : EIO;
  return err_ == 0;
}

// ---------------------------------------------------------------------------
// atomic_file

bool atomic_file::open(const std::string& final_name) {
  discard();
  final_ = final_name;
  // The temporary name is the final one with ".tmpPID" added; when that is
  // longer than the file system allows while the final name is not, it is
  // ".tmpPID" alone in the same directory.
  std::string stem = final_;
  bool short_stem = false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tmp_ =
        stem + ".tmp" + std::to_string(getpid()) + (attempt ? "." + std::to_string(attempt) : "");
    int fd = ::open(tmp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      if (errno == ENAMETOOLONG && !short_stem) {
        size_t slash = final_.rfind('/');
        stem = slash == std::string::npos ? "" : final_.substr(0, slash + 1);
        short_stem = true;
        attempt = -1;
        continue;
      }
      tmp_.clear();
      return false;
    }
    f_ = fdopen(fd, "w");
    if (!f_) {
      int e = errno;
      ::close(fd);
      ::unlink(tmp_.c_str());
      tmp_.clear();
      errno = e;
      return false;
    }
    return true;
  }
  tmp_.clear();
  errno = EEXIST;
  return false;
}

bool atomic_file::commit() {
  if (!f_) {
    errno = EBADF;
    return false;
  }
  int rc = std::fclose(f_);
  f_ = nullptr;
  if (rc != 0 || std::rename(tmp_.c_str(), final_.c_str()) != 0) {
    int e = errno ? errno : EIO;
    ::unlink(tmp_.c_str());
    tmp_.clear();
    errno = e;
    return false;
  }
  tmp_.clear();
  return true;
}

void atomic_file::discard() {
  int e = errno;
  if (f_) std::fclose(f_);
  f_ = nullptr;
  if (!tmp_.empty()) ::unlink(tmp_.c_str());
  tmp_.clear();
  errno = e;
}

std::string format_f(double v) {
  int len = std::snprintf(nullptr, 0, "%f", v);
  std::string s(static_cast<size_t>(len > 0 ? len : 0), '\0');
  std::snprintf(s.data(), s.size() + 1, "%f", v);
  return s;
}

}  // namespace domlp
