// Records and tables shared by every step of a run, and the buffered text
// I/O primitives the readers and writers are built on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace domlp {

// One protein or one domain.
struct node {
  std::string name;
  int n = 0;                              // proteins: linked domains; domains: kept proteins
  std::vector<std::string> member_names;  // domains only: kept protein names, in line order
  std::vector<int> member;                // proteins: domain indices; domains: protein indices
};

// Map from a protein name to the index of the first protein with that name.
// Open addressing over one flat array. A slot holds the name's first seven
// bytes and its length, 32 bits of its hash and the index, so that a name
// of at most seven bytes is matched without reading the protein node; a
// longer one is compared with the node's name.
class name_index {
 public:
  size_t size() const { return used_; }
  void reserve(size_t n);
  // Index of `name` among `prot`, or -1.
  int find(const std::vector<node>& prot, std::string_view name) const;
  // Index of `name`; when absent, `q` is recorded for it and -1 returned.
  int insert(const std::vector<node>& prot, std::string_view name, int q);
  // Hints that `name` is looked up soon: the home slot of a random name is
  // a cache miss, and a reader that issues the hints for a batch of names
  // before looking them up overlaps those misses.
  // Always inlined, like pair_index::prefetch.
  [[gnu::always_inline]] void prefetch(std::string_view name) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[hash_of(name) & (slots_.size() - 1)]);
  }

 private:
  struct entry {
    uint64_t head;  // first seven bytes of the name, zero-padded, then min(length, 8)
    uint32_t hash;  // also the home slot
    uint32_t q1;    // index + 1; 0 when the slot is empty
  };
  static uint32_t hash_of(std::string_view name);
  static entry make(std::string_view name);
  // Slot holding `name`, or the empty slot where it would go.
  size_t probe(const std::vector<node>& prot, const entry& want, std::string_view name) const;
  bool same(const std::vector<node>& prot, const entry& e, const entry& want,
            std::string_view name) const;
  void grow();

  std::vector<entry> slots_;
  size_t used_ = 0;
};

// Hints that a node's count and domain list are read soon. A node spans two
// cache lines, and the list's pointer usually lies in the second.
[[gnu::always_inline]] inline void prefetch_node(const node& q) {
  __builtin_prefetch(&q.n);
  __builtin_prefetch(&q.member);
}

struct node_table {
  std::vector<node> prot;
  std::vector<node> dom;
  int nprot = 0;
  int ndom = 0;
  name_index prot_by_name;
};

// Index of the first protein named `name`, or -1.
int find_prot(const node_table& t, std::string_view name);
// Index of the protein named `name`, appending a new node when there is none.
int add_prot(node_table& t, std::string_view name);

// Key of an unordered node pair: the smaller index in the high half.
inline uint64_t pair_key(int a, int b) {
  if (a > b) std::swap(a, b);
  return (static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b);
}

// Home slot of a pair key in an open-addressing table of `size` slots, a
// power of two.
inline size_t pair_home(uint64_t k, size_t size) {
  uint64_t h = k * 0x9E3779B97F4A7C15ull;
  h ^= h >> 29;
  return static_cast<size_t>(h) & (size - 1);
}

// Symmetric map from an unordered pair of node indices to a pair position.
// Open addressing; only the pairs that exist are stored.
class pair_index {
 public:
  int get(int a, int b) const;
  void set(int a, int b, int pos);
  // Stores `pos` for the pair unless it has a position already; returns that
  // position, or -1 when `pos` was stored.
  int insert(int a, int b, int pos);
  // Hints that the pair is looked up soon.
  // Always inlined: as a function of its own it has no visible effect, and
  // the compiler would drop its calls.
  [[gnu::always_inline]] void prefetch(int a, int b) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[slot(key(a, b))]);
  }
  size_t size() const { return used_; }
  void reserve(size_t n);

 private:
  // A key and its position in one slot, so that a probe touches one place.
  struct entry {
    uint32_t lo;
    uint32_t hi;
    int val;
  };
  static uint64_t key(int a, int b) { return pair_key(a, b); }
  size_t slot(uint64_t k) const { return pair_home(k, slots_.size()); }
  static constexpr uint64_t kEmptyKey = ~uint64_t{0};
  // Slot holding key `k`, or the empty slot where it would go.
  size_t probe(uint64_t k) const;
  static bool holds(const entry& e, uint64_t k) {
    return e.lo == static_cast<uint32_t>(k) && e.hi == static_cast<uint32_t>(k >> 32);
  }
  void grow();

  std::vector<entry> slots_;
  size_t used_ = 0;
};

struct pair {
  int i = 0;
  int j = 0;
  double prob = 0.0;
  int obs = 0;
};

struct pair_set {
  std::vector<pair> item;
  int n = 0;
  pair_index index;
  int nobs = 0;
};

// Calls f(d) once for each distinct value of a non-decreasing list, in order.
// Protein domain lists are built in increasing domain order, so repeats of a
// domain stand next to each other.
template <class F>
void for_each_distinct(const std::vector<int>& v, F&& f) {
  for (size_t x = 0; x < v.size(); ++x)
    if (x == 0 || v[x] != v[x - 1]) f(v[x]);
}

// Calls f(da, db) for each distinct domain da of the first protein of `p`
// with each distinct domain db of its second, in list order.
template <class F>
void for_each_domain_combo(const node_table& t, const pair& p, F&& f) {
  const std::vector<int>& mb = t.prot[p.j].member;
  for_each_distinct(t.prot[p.i].member,
                    [&](int da) { for_each_distinct(mb, [&](int db) { f(da, db); }); });
}

// For a loop over `ps` at position k: fetches the protein nodes of the pair
// `ahead` positions on and the domain lists of the pair half as far on, each
// once the data it needs is there, so that the cache misses of nearby pairs
// overlap.
[[gnu::always_inline]] inline void prefetch_pair_proteins(const node_table& t,
                                                          const std::vector<pair>& ps, size_t k,
                                                          size_t ahead) {
  if (k + ahead < ps.size()) {
    prefetch_node(t.prot[ps[k + ahead].i]);
    prefetch_node(t.prot[ps[k + ahead].j]);
  }
  if (k + ahead / 2 < ps.size()) {
    __builtin_prefetch(t.prot[ps[k + ahead / 2].i].member.data());
    __builtin_prefetch(t.prot[ps[k + ahead / 2].j].member.data());
  }
}

// Reads a stream line by line; lines of any length are returned whole,
// without their line break.
class line_reader {
 public:
  explicit line_reader(FILE* f);
  // Next line; false at end of input or on a read error (see failed()).
  bool next(std::string_view& line);
  bool had_newline() const { return had_newline_; }
  bool failed() const { return err_ != 0; }
  int error() const { return err_; }
  long line_no() const { return line_no_; }

 private:
  bool fill();

  FILE* f_;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t end_ = 0;
  std::string carry_;
  bool eof_ = false;
  bool had_newline_ = false;
  int err_ = 0;
  long line_no_ = 0;
};

// Buffered writer onto a stream; every failure is remembered. Nothing is
// written until flush(), which the owner must call before closing the stream.
class text_writer {
 public:
  explicit text_writer(FILE* f);
  text_writer(const text_writer&) = delete;
  text_writer& operator=(const text_writer&) = delete;

  void put(std::string_view s);
  void put(char c);
  void put_int(long long v);
  // At least `n` bytes of buffer space (n at most 4096) for the caller to
  // fill; advance() then takes what was written up to `end`. Lets a writer
  // format a whole term with one capacity check.
  char* room(size_t n) {
    if (buf_.size() - len_ < n) drain();
    return buf_.data() + len_;
  }
  void advance(char* end) { len_ = static_cast<size_t>(end - buf_.data()); }
  // Writes what is buffered and flushes the stream; false after any failure.
  bool flush();
  bool ok() const { return err_ == 0; }
  int error() const { return err_; }

 private:
  // Writes what is buffered, without flushing the stream.
  void drain();

  FILE* f_;
  std::vector<char> buf_;
  size_t len_ = 0;
  int err_ = 0;
};

// An output file that appears under its final name only when it was written
// and closed without error: it is written to a temporary file beside the
// final one and renamed over it by commit(). Discarded when not committed.
class atomic_file {
 public:
  atomic_file() = default;
  ~atomic_file() { discard(); }
  atomic_file(const atomic_file&) = delete;
  atomic_file& operator=(const atomic_file&) = delete;

  // Creates the temporary file; false with errno set on failure.
  bool open(const std::string& final_name);
  FILE* stream() const { return f_; }
  // Closes and renames; false with errno set on failure (the temporary is removed).
  bool commit();
  void discard();

 private:
  std::string final_;
  std::string tmp_;
  FILE* f_ = nullptr;
};

// "%f" of a value, as printf renders it.
std::string format_f(double v);

}  // namespace domlp
