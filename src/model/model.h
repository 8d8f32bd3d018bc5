// Records and tables shared by every step of a run, and the buffered text
// I/O primitives the readers and writers are built on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace domlp {

// One protein or one domain.
struct node {
  std::string name;
  int n = 0;                              // proteins: linked domains; domains: kept proteins
  std::vector<std::string> member_names;  // domains only: kept protein names, in line order
  std::vector<int> member;                // proteins: domain indices; domains: protein indices
};

struct name_hash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct node_table {
  std::vector<node> prot;
  std::vector<node> dom;
  int nprot = 0;
  int ndom = 0;
  // Name -> index of the first protein with that name.
  std::unordered_map<std::string, int, name_hash, std::equal_to<>> prot_by_name;
};

// Index of the first protein named `name`, or -1.
int find_prot(const node_table& t, std::string_view name);
// Index of the protein named `name`, appending a new node when there is none.
int add_prot(node_table& t, std::string_view name);

// Symmetric map from an unordered pair of node indices to a pair position.
// Open addressing; only the pairs that exist are stored.
class pair_index {
 public:
  int get(int a, int b) const;
  void set(int a, int b, int pos);
  size_t size() const { return used_; }
  void reserve(size_t n);

 private:
  static uint64_t key(int a, int b);
  size_t slot(uint64_t k) const;
  void grow();

  std::vector<uint64_t> keys_;
  std::vector<int> vals_;
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
  // Writes what is buffered and flushes the stream; false after any failure.
  bool flush();
  bool ok() const { return err_ == 0; }
  int error() const { return err_; }

 private:
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
