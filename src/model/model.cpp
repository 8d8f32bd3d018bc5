#include "model.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace domlp {

// ---------------------------------------------------------------------------
// name_index

namespace {

uint64_t load64(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

uint64_t load32(const char* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

// The n < 8 bytes at p as one zero-padded word. Built from whole loads (two
// overlapping ones from four bytes on) rather than a byte copy, whose
// narrow stores the wide load that follows would have to wait for.
uint64_t short_word(const char* p, size_t n) {
  if (n >= 4) return load32(p) | (load32(p + n - 4) << ((n - 4) * 8));
  if (n == 0) return 0;
  auto byte = [&](size_t x) { return static_cast<uint64_t>(static_cast<unsigned char>(p[x])); };
  return byte(0) | (byte(n / 2) << (n / 2 * 8)) | (byte(n - 1) << ((n - 1) * 8));
}

uint64_t mix(uint64_t h) {
  h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
  return h ^ (h >> 31);
}

// First seven bytes of the name, zero-padded, then min(length, 8).
uint64_t head_of(std::string_view name) {
  size_t n = name.size();
  if (n < 8) return short_word(name.data(), n) | (static_cast<uint64_t>(n) << 56);
  return (load64(name.data()) & 0x00FFFFFFFFFFFFFFull) | (uint64_t{8} << 56);
}

// A name of at most seven bytes is its head; a longer one is taken eight
// bytes at a time, the last word overlapping the one before it.
uint32_t hash_from(std::string_view name, uint64_t head) {
  size_t n = name.size();
  if (n < 8) return static_cast<uint32_t>(mix(head * 0xBF58476D1CE4E5B9ull));
  const char* p = name.data();
  uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  size_t x = 0;
  for (; x + 8 <= n; x += 8) {
    h = (h ^ load64(p + x)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  if (x < n) h = (h ^ load64(p + n - 8)) * 0xBF58476D1CE4E5B9ull;
  return static_cast<uint32_t>(mix(h));
}

}  // namespace

uint32_t name_index::hash_of(std::string_view name) {
  return hash_from(name, head_of(name));
}

name_index::entry name_index::make(std::string_view name) {
  entry e{0, 0, 0};
  e.head = head_of(name);
  e.hash = hash_from(name, e.head);
  return e;
}

bool name_index::same(const std::vector<node>& prot, const entry& e, const entry& want,
                      std::string_view name) const {
  if (e.hash != want.hash || e.head != want.head) return false;
  return name.size() <= 7 || prot[e.q1 - 1].name == name;
}

void name_index::reserve(size_t n) {
  size_t cap = 16;
  while (cap < 2 * n + 1) cap <<= 1;
  if (cap <= slots_.size()) return;
  std::vector<entry> old(cap, entry{0, 0, 0});
  old.swap(slots_);
  size_t mask = slots_.size() - 1;
  for (const entry& e : old) {
    if (!e.q1) continue;
    size_t x = e.hash & mask;
    while (slots_[x].q1) x = (x + 1) & mask;
    slots_[x] = e;
  }
}

void name_index::grow() {
  reserve(slots_.empty() ? 8 : slots_.size());
}

size_t name_index::probe(const std::vector<node>& prot, const entry& want,
                         std::string_view name) const {
  size_t mask = slots_.size() - 1;
  size_t x = want.hash & mask;
  while (slots_[x].q1 && !same(prot, slots_[x], want, name)) x = (x + 1) & mask;
  return x;
}

int name_index::find(const std::vector<node>& prot, std::string_view name) const {
  if (slots_.empty()) return -1;
  return static_cast<int>(slots_[probe(prot, make(name), name)].q1) - 1;
}

int name_index::insert(const std::vector<node>& prot, std::string_view name, int q) {
  if ((used_ + 1) * 2 > slots_.size()) grow();
  entry want = make(name);
  size_t x = probe(prot, want, name);
  if (slots_[x].q1) return static_cast<int>(slots_[x].q1 - 1);
  want.q1 = static_cast<uint32_t>(q) + 1u;
  slots_[x] = want;
  ++used_;
  return -1;
}

int find_prot(const node_table& t, std::string_view name) {
  return t.prot_by_name.find(t.prot, name);
}

int add_prot(node_table& t, std::string_view name) {
  int q = static_cast<int>(t.prot.size());
  int p = t.prot_by_name.insert(t.prot, name, q);
  if (p >= 0) return p;
  node n;
  n.name.assign(name);
  t.prot.push_back(std::move(n));
  return q;
}

// ---------------------------------------------------------------------------
// pair_index

void pair_index::reserve(size_t n) {
  size_t cap = 16;
  while (cap < n + n / 2 + 1) cap <<= 1;
  if (cap <= slots_.size()) return;
  std::vector<entry> old(cap, entry{~0u, ~0u, -1});
  old.swap(slots_);
  used_ = 0;
  for (const entry& e : old) {
    uint64_t k = (static_cast<uint64_t>(e.hi) << 32) | e.lo;
    if (k == kEmptyKey) continue;
    slots_[probe(k)] = e;
    ++used_;
  }
}

size_t pair_index::probe(uint64_t k) const {
  size_t x = slot(k);
  while (!holds(slots_[x], k) && !holds(slots_[x], kEmptyKey)) x = (x + 1) & (slots_.size() - 1);
  return x;
}

void pair_index::grow() {
  reserve(slots_.empty() ? 16 : slots_.size());
}

int pair_index::get(int a, int b) const {
  if (slots_.empty()) return -1;
  const entry& e = slots_[probe(key(a, b))];
  return holds(e, kEmptyKey) ? -1 : e.val;
}

void pair_index::set(int a, int b, int pos) {
  if (insert(a, b, pos) < 0) return;
  slots_[probe(key(a, b))].val = pos;  // a later pair overwrites an earlier one
}

int pair_index::insert(int a, int b, int pos) {
  if ((used_ + 1) * 3 > slots_.size() * 2) grow();
  uint64_t k = key(a, b);
  entry& e = slots_[probe(k)];
  if (holds(e, k)) return e.val;
  e = entry{static_cast<uint32_t>(k), static_cast<uint32_t>(k >> 32), pos};
  ++used_;
  return -1;
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
    if (std::ferror(f_))
      err_ = errno ? errno : EIO;
    else
      eof_ = true;
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
    drain();
    if (s.size() > buf_.size()) {
      if (!err_ && std::fwrite(s.data(), 1, s.size(), f_) != s.size()) err_ = errno ? errno : EIO;
      return;
    }
  }
  std::memcpy(buf_.data() + len_, s.data(), s.size());
  len_ += s.size();
}

void text_writer::put(char c) {
  if (len_ == buf_.size()) drain();
  buf_[len_++] = c;
}

void text_writer::put_int(long long v) {
  char tmp[24];
  auto r = std::to_chars(tmp, tmp + sizeof tmp, v);
  put(std::string_view(tmp, static_cast<size_t>(r.ptr - tmp)));
}

void text_writer::drain() {
  if (len_ && !err_ && std::fwrite(buf_.data(), 1, len_, f_) != len_) err_ = errno ? errno : EIO;
  len_ = 0;
}

bool text_writer::flush() {
  drain();
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
    tmp_ = stem + ".tmp" + std::to_string(getpid());
    if (attempt) tmp_.append(".").append(std::to_string(attempt));
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
