#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "input.h"

namespace domlp {

namespace {

// Declared counts only size the first allocation; a bogus count must not
// make the reader ask for gigabytes up front.
constexpr int kMaxReserve = 1 << 20;

struct file_closer {
  void operator()(FILE* f) const { std::fclose(f); }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

file_ptr open_input(const std::string& file) {
  file_ptr f(std::fopen(file.c_str(), "r"));
  if (!f) std::fprintf(stderr, "cannot open '%s': %s\n", file.c_str(), std::strerror(errno));
  return f;
}

int read_failed(const line_reader& r, const std::string& file) {
  std::fprintf(stderr, "error reading '%s': %s\n", file.c_str(), std::strerror(r.error()));
  return 1;
}

// Both delimiter sets consist of blanks only; a name character, the common
// case, is told apart without a search.
bool is_delim(char c, std::string_view delims) {
  if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return delims.find(c) != std::string_view::npos;
}

// Next token of `s` from `pos`, skipping leading delimiters; empty at the end.
std::string_view next_token(std::string_view s, size_t& pos, std::string_view delims) {
  while (pos < s.size() && is_delim(s[pos], delims)) ++pos;
  size_t start = pos;
  while (pos < s.size() && !is_delim(s[pos], delims)) ++pos;
  return s.substr(start, pos - start);
}

constexpr std::string_view kPairDelims = "\t\n\r ";
constexpr std::string_view kDomDelims = " \t\r\n";

// The count line from `r`, which is left at the first data line.
int count_from(line_reader& r, const std::string& file, int& count) {
  std::string_view line;
  bool got = r.next(line);
  if (r.failed()) return read_failed(r, file);
  size_t x = 0;
  while (got && x < line.size() && (line[x] == ' ' || line[x] == '\t')) ++x;
  if (got && x < line.size() && line[x] == '+') ++x;
  long long v = 0;
  size_t digits = 0;
  while (got && x < line.size() && line[x] >= '0' && line[x] <= '9' && v <= INT_MAX) {
    v = v * 10 + (line[x++] - '0');
    ++digits;
  }
  if (!digits || v > INT_MAX) {
    std::fprintf(stderr,
                 "'%s': the first line must begin with the number of lines that follow "
                 "(a non-negative integer)\n",
                 file.c_str());
    return 1;
  }
  count = static_cast<int>(v);
  return 0;
}

// Pair lines are read in batches: the two names of every line of a batch
// are copied aside and their index slots fetched before the first of them is
// looked up, so that the cache misses of a batch overlap instead of coming
// one after another. Proteins are still numbered in line order.
constexpr size_t kBatch = 32;

struct pending_pair {
  size_t a, a_len, b, b_len;  // offsets and lengths in the batch's text
};

struct pair_batch {
  std::string text;
  std::vector<pending_pair> lines;
};

void add_batch(node_table& t, pair_set& s, pair_batch& b) {
  for (const pending_pair& p : b.lines) {
    t.prot_by_name.prefetch(std::string_view(b.text).substr(p.a, p.a_len));
    t.prot_by_name.prefetch(std::string_view(b.text).substr(p.b, p.b_len));
  }
  for (const pending_pair& p : b.lines) {
    pair x;
    x.i = add_prot(t, std::string_view(b.text).substr(p.a, p.a_len));
    x.j = add_prot(t, std::string_view(b.text).substr(p.b, p.b_len));
    x.prob = 1.0;
    s.item.push_back(x);
  }
  b.text.clear();
  b.lines.clear();
}

// The pair lines from `r`, which stands after the count line.
int pairs_from(node_table& t, pair_set& s, line_reader& r, const std::string& file) {
  std::string_view line;
  s.item.reserve(static_cast<size_t>(std::min(std::max(s.n, 0), kMaxReserve)));
  pair_batch batch;
  batch.lines.reserve(kBatch);
  while (r.next(line)) {
    size_t pos = 0;
    std::string_view a = next_token(line, pos, kPairDelims);
    std::string_view b = next_token(line, pos, kPairDelims);
    if (b.empty()) {
      if (!a.empty())
        std::fprintf(stderr, "warning: %s:%ld: fewer than two protein names, line skipped\n",
                     file.c_str(), r.line_no());
      continue;
    }
    if (s.item.size() + batch.lines.size() >= static_cast<size_t>(INT_MAX)) {
      std::fprintf(stderr, "'%s': too many pairs\n", file.c_str());
      return 1;
    }
    pending_pair p{batch.text.size(), a.size(), batch.text.size() + a.size(), b.size()};
    batch.text.append(a);
    batch.text.append(b);
    batch.lines.push_back(p);
    if (batch.lines.size() == kBatch) add_batch(t, s, batch);
  }
  add_batch(t, s, batch);
  if (r.failed()) return read_failed(r, file);
  t.nprot = static_cast<int>(t.prot.size());
  s.n = static_cast<int>(s.item.size());
  std::printf("Total proteins: %d\n", t.nprot);
  std::printf("Total protein pairs: %d\n", s.n);
  return 0;
}

}  // namespace

int read_count(FILE* f, const std::string& file, int& count) {
  line_reader r(f);
  return count_from(r, file, count);
}

int readprotint_stream(node_table& t, pair_set& s, FILE* f, const std::string& file) {
  line_reader r(f);
  std::string_view line;
  r.next(line);  // the count line
  return pairs_from(t, s, r, file);
}

int readprotint(node_table& t, pair_set& s, const std::string& file) {
  file_ptr f = open_input(file);
  if (!f) return 1;
  return readprotint_stream(t, s, f.get(), file);
}

namespace {

// The domain lines from `r`, which stands after the count line.
int domains_from(node_table& t, line_reader& r, const std::string& file) {
  std::string_view line;
  t.dom.reserve(static_cast<size_t>(std::min(std::max(t.ndom, 0), kMaxReserve)));
  while (r.next(line)) {
    // The domain name runs from after any leading colons to the next colon;
    // a line without that colon names no protein.
    size_t start = line.find_first_not_of(':');
    if (start == std::string_view::npos) continue;
    size_t colon = line.find(':', start);
    if (colon == std::string_view::npos) continue;
    node d;
    size_t pos = colon + 1;
    // Names in batches, their index slots fetched before the look-ups.
    std::string_view toks[kBatch];
    for (;;) {
      size_t got = 0;
      while (got < kBatch && !(toks[got] = next_token(line, pos, kDomDelims)).empty())
        t.prot_by_name.prefetch(toks[got++]);
      for (size_t x = 0; x < got; ++x) {
        int q = find_prot(t, toks[x]);
        if (q < 0) continue;
        d.member_names.emplace_back(toks[x]);
        d.member.push_back(q);
      }
      if (got < kBatch) break;
    }
    if (d.member.empty()) continue;
    if (t.dom.size() >= static_cast<size_t>(INT_MAX)) {
      std::fprintf(stderr, "'%s': too many domains\n", file.c_str());
      return 1;
    }
    d.name.assign(line.substr(start, colon - start));
    d.n = static_cast<int>(d.member.size());
    t.dom.push_back(std::move(d));
  }
  if (r.failed()) return read_failed(r, file);
  t.ndom = static_cast<int>(t.dom.size());
  std::printf("domain number: %d\n", t.ndom);
  // Link proteins to domains in domain order, so that every protein's domain
  // list is non-decreasing and a protein listed twice is linked twice.
  for (int d = 0; d < t.ndom; ++d) {
    for (int q : t.dom[d].member) {
      t.prot[q].member.push_back(d);
      ++t.prot[q].n;
    }
  }
  return 0;
}

}  // namespace

int creat_domprot_stream(node_table& t, FILE* f, const std::string& file) {
  line_reader r(f);
  std::string_view line;
  r.next(line);  // the count line
  return domains_from(t, r, file);
}

int creat_domprot(node_table& t, const std::string& file) {
  file_ptr f = open_input(file);
  if (!f) return 1;
  return creat_domprot_stream(t, f.get(), file);
}

int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& /*dint*/,
             const std::string& obs_file, const std::string& dom_file,
             const std::string& test_file) {
  // Every count line is checked before anything is read, so that a bad file
  // stops the run before any output. Each file is opened once and read on
  // from its count line: a pipe or a process substitution cannot be read a
  // second time.
  const std::string* files[3] = {&obs_file, &dom_file, &test_file};
  int* counts[3] = {&obs.n, &t.ndom, &test.n};
  file_ptr f[3];
  std::vector<line_reader> r;
  r.reserve(3);
  for (int x = 0; x < 3; ++x) {
    f[x] = open_input(*files[x]);
    if (!f[x]) return 1;
    r.emplace_back(f[x].get());
    if (count_from(r[static_cast<size_t>(x)], *files[x], *counts[x])) return 1;
  }
  t.prot.reserve(static_cast<size_t>(std::min(obs.n, kMaxReserve / 2)) * 2);
  // The name index grows with the names actually seen: sized for the
  // declared pairs it would be mostly empty, and every probe a cache miss.
  t.nprot = 0;
  if (pairs_from(t, obs, r[0], obs_file)) return 1;
  if (pairs_from(t, test, r[2], test_file)) return 1;
  return domains_from(t, r[1], dom_file);
}

}  // namespace domlp
