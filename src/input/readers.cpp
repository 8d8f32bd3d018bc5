#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <string_view>

#include "input.h"
#include "io/io.h"

namespace domlp {

namespace {

constexpr long kMaxWarnings = 10;
// What separates names, in both kinds of input file.
constexpr std::string_view kBlanks = " \t\r\n";

int read_failed(const line_reader& r, const std::string& file) {
  std::fprintf(stderr, "error reading '%s': %s\n", file.c_str(), std::strerror(r.error()));
  return 1;
}

// The count line: optional blanks, an optional '+', then digits that fit an
// int; anything after them is ignored.
int read_count(line_reader& r, const std::string& file, int& count) {
  std::string_view line;
  bool got = r.next(line);
  if (r.error()) return read_failed(r, file);
  size_t x = got ? std::min(line.find_first_not_of(" \t"), line.size()) : 0;
  if (x < line.size() && line[x] == '+') ++x;
  long long v = 0;
  size_t digits = 0;
  for (; x < line.size() && line[x] >= '0' && line[x] <= '9' && v <= INT_MAX; ++x, ++digits)
    v = v * 10 + (line[x] - '0');
  if (!got || digits == 0 || v > INT_MAX) {
    std::fprintf(stderr,
                 "'%s': the first line must begin with the number of lines that follow "
                 "(a non-negative integer)\n",
                 file.c_str());
    return 1;
  }
  count = static_cast<int>(v);
  return 0;
}

// The pair lines, after the count line. The declared count is not needed:
// the tables grow with what is read.
int readprotint(node_table& t, pair_set& s, line_reader& r, const std::string& file) {
  std::string_view line;
  long skipped = 0;
  while (r.next(line)) {
    size_t pos = 0;
    std::string_view a = next_token(line, pos, kBlanks);
    std::string_view b = next_token(line, pos, kBlanks);
    if (b.empty()) {
      // A file in another format would give a warning a line: ten say enough.
      if (!a.empty() && ++skipped <= kMaxWarnings)
        std::fprintf(stderr, "warning: %s:%ld: fewer than two protein names, line skipped\n",
                     file.c_str(), r.line_no());
      continue;
    }
    if (s.item.size() == INT_MAX) {
      std::fprintf(stderr, "'%s': too many pairs\n", file.c_str());
      return 1;
    }
    pair p;
    p.i = add_prot(t, a);
    p.j = add_prot(t, b);
    p.prob = 1.0;
    s.item.push_back(p);
  }
  if (r.error()) return read_failed(r, file);
  if (skipped > kMaxWarnings)
    std::fprintf(stderr, "warning: %s: %ld more lines with fewer than two protein names skipped\n",
                 file.c_str(), skipped - kMaxWarnings);
  t.nprot = static_cast<int>(t.prot.size());
  s.n = static_cast<int>(s.item.size());
  std::printf("Total proteins: %d\n", t.nprot);
  std::printf("Total protein pairs: %d\n", s.n);
  return 0;
}

// The domain lines, after the count line: "name:protein protein ...". Only
// proteins of the pair files are kept, and a domain left without any is
// dropped. Proteins and kept domains are then linked both ways.
int creat_domprot(node_table& t, line_reader& r, const std::string& file) {
  std::string_view line;
  while (r.next(line)) {
    // The name runs from after any leading colons to the next colon.
    size_t start = line.find_first_not_of(':');
    size_t colon = start == std::string_view::npos ? start : line.find(':', start);
    if (colon == std::string_view::npos) continue;
    node d;
    size_t pos = colon + 1;
    for (std::string_view tok; !(tok = next_token(line, pos, kBlanks)).empty();) {
      int q = find_prot(t, tok);
      if (q < 0) continue;
      d.member_names.emplace_back(tok);
      d.member.push_back(q);
    }
    if (d.member.empty()) continue;
    if (t.dom.size() == INT_MAX) {
      std::fprintf(stderr, "'%s': too many domains\n", file.c_str());
      return 1;
    }
    d.name = line.substr(start, colon - start);
    d.n = static_cast<int>(d.member.size());
    t.dom.push_back(std::move(d));
  }
  if (r.error()) return read_failed(r, file);
  t.ndom = static_cast<int>(t.dom.size());
  std::printf("domain number: %d\n", t.ndom);
  // In domain order, so that every protein's domain list is non-decreasing;
  // a protein listed twice on a line is linked twice.
  for (int d = 0; d < t.ndom; ++d) {
    for (int q : t.dom[d].member) {
      t.prot[q].member.push_back(d);
      ++t.prot[q].n;
    }
  }
  return 0;
}

}  // namespace

int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& /*dint*/,
             const std::string& obs_file, const std::string& dom_file,
             const std::string& test_file) {
  // Every count line is checked before anything else is read, so that a bad
  // file stops the run before any output. Each file is read once, on from
  // its count line: a pipe cannot be read a second time.
  const std::string* names[3] = {&obs_file, &dom_file, &test_file};
  int* counts[3] = {&obs.n, &t.ndom, &test.n};
  file_ptr f[3];
  std::optional<line_reader> r[3];
  for (int x = 0; x < 3; ++x) {
    f[x].reset(std::fopen(names[x]->c_str(), "r"));
    if (!f[x]) {
      check_interrupt();  // the open of a pipe waits for its writer
      std::fprintf(stderr, "cannot open '%s': %s\n", names[x]->c_str(), std::strerror(errno));
      return 1;
    }
    r[x].emplace(f[x].get());
    if (read_count(*r[x], *names[x], *counts[x])) return 1;
  }
  t.nprot = 0;
  if (readprotint(t, obs, *r[0], obs_file) || readprotint(t, test, *r[2], test_file)) return 1;
  return creat_domprot(t, *r[1], dom_file);
}

}  // namespace domlp
