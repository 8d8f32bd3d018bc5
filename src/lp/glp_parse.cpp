#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "lp.h"

namespace domlp {

namespace {

bool is_delim(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

std::string_view next_token(std::string_view s, size_t& pos) {
  while (pos < s.size() && is_delim(s[pos])) ++pos;
  size_t start = pos;
  while (pos < s.size() && !is_delim(s[pos])) ++pos;
  return s.substr(start, pos - start);
}

bool starts_with(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}

// Parses a non-negative decimal int that must fill `s` exactly.
bool parse_index(std::string_view s, int& v) {
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// "x(a,b)" with two decimal indices, nothing else.
bool parse_x_name(std::string_view name, int& a, int& b) {
  if (!starts_with(name, "x(") || name.back() != ')') return false;
  std::string_view inner = name.substr(2, name.size() - 3);
  size_t comma = inner.find(',');
  if (comma == std::string_view::npos) return false;
  return parse_index(inner.substr(0, comma), a) && parse_index(inner.substr(comma + 1), b);
}

// The activity as a decimal number (0.0 when it does not begin with one),
// clamped to [0, 1]; a value that is not a number counts as 0.
// The solver prints plain decimal numbers, which from_chars reads without
// the locale and rounds correctly, as strtod does; anything it does not
// read whole (a sign, hexadecimal, trailing text) goes to strtod.
double parse_activity(std::string_view tok) {
  double v = 0.0;
  auto r = std::from_chars(tok.data(), tok.data() + tok.size(), v);
  if (r.ec != std::errc() || r.ptr != tok.data() + tok.size()) {
    std::string s(tok);
    v = std::strtod(s.c_str(), nullptr);
  }
  if (!(v >= 0.0)) return 0.0;
  return v > 1.0 ? 1.0 : v;
}

// Stores activities in the domain pairs named by the report's columns.
// The solver lists the columns in the order of their first appearance in
// the LP file, which is the objective's, the order of the domain pairs, so
// the next pair in order is tried before the index: the same pair whenever
// every pair has a position of its own (as many index entries as pairs).
struct column_store {
  pair_set& dint;
  size_t next = 0;

  void store(std::string_view name, std::string_view activity) {
    int a = 0, b = 0;
    if (!parse_x_name(name, a, b)) return;
    int lo = std::min(a, b), hi = std::max(a, b);
    int k = -1;
    if (next < dint.item.size() && dint.item[next].i == lo && dint.item[next].j == hi &&
        dint.index.size() == dint.item.size())
      k = static_cast<int>(next);
    else
      k = dint.index.get(a, b);
    if (k < 0) return;
    next = static_cast<size_t>(k) + 1;
    if (dint.item[static_cast<size_t>(k)].obs == 1)
      dint.item[static_cast<size_t>(k)].prob = parse_activity(activity);
  }
};

int read_error(const line_reader& r, const std::string& file) {
  std::fprintf(stderr, "parse_glp: read error (%s): %s\n", file.c_str(), std::strerror(r.error()));
  return 1;
}

}  // namespace

int parse_glp_stream(FILE* in, const std::string& file, pair_set& dint) {
  line_reader r(in);
  std::string_view line;
  for (int n = 1; n <= 5; ++n) {
    if (!r.next(line)) {
      if (r.failed()) return read_error(r, file);
      std::fprintf(stderr, "parse_glp: report ends before its status line (%s)\n", file.c_str());
      return 1;
    }
  }
  if (!starts_with(line, "Status:     OPTIMAL")) {
    std::string shown(line);
    if (r.had_newline()) shown += '\n';
    std::fprintf(stderr, "parse_glp: Not optimal (%s) [%s]", file.c_str(), shown.c_str());
    return 1;
  }
  bool header = false;
  while (!header && r.next(line)) header = starts_with(line, "   No. Column name");
  if (r.failed()) return read_error(r, file);
  if (!header) {
    std::fprintf(stderr, "parse_glp: no column section (%s)\n", file.c_str());
    return 1;
  }
  // Column lines: number, name, status, activity, ... The solver puts a name
  // longer than twelve characters on a line of its own and the status,
  // activity and bounds on the next line. The slack columns e(t) follow all
  // x columns; the first of them ends the reading.
  column_store columns{dint};
  while (r.next(line)) {
    size_t pos = 0;
    std::string_view num = next_token(line, pos);
    std::string_view name = next_token(line, pos);
    if (num.empty() || name.empty()) continue;
    if (name.size() == 1 && name != "B") {
      std::string shown(name);
      std::fprintf(stderr, "less %d %s\n", 1, shown.c_str());
      return 1;
    }
    if (name[0] == 'e') return 0;
    std::string_view status = next_token(line, pos);
    std::string_view activity = next_token(line, pos);
    if (status.empty()) {
      std::string saved(name);
      if (!r.next(line)) break;
      pos = 0;
      status = next_token(line, pos);
      activity = next_token(line, pos);
      if (activity.empty()) break;
      columns.store(saved, activity);
      continue;
    }
    if (activity.empty()) break;
    columns.store(name, activity);
  }
  if (r.failed()) return read_error(r, file);
  std::fprintf(stderr, "parse_glp: report ends inside the column section (%s)\n", file.c_str());
  return 1;
}

int my_parse_glp(const std::string& file, const node_table& /*t*/, const pair_set& /*obs*/,
                 pair_set& dint) {
  FILE* in = std::fopen(file.c_str(), "r");
  if (!in) {
    std::fprintf(stderr, "parse_glp2: fopen error (%s)\n", file.c_str());
    return 1;
  }
  int rc = parse_glp_stream(in, file, dint);
  std::fclose(in);
  return rc;
}

}  // namespace domlp
