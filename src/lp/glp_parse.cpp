#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "io/io.h"
#include "lp.h"

namespace domlp {

namespace {

// What separates the fields of a report line.
constexpr std::string_view kBlanks = " \t\n";

// A non-negative decimal int that fills `s` exactly.
bool parse_index(std::string_view s, int& v) {
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// Stores the activity of column `name` when it is "x(a,b)" of a supported
// domain pair: a decimal number (0 when the text does not begin with one),
// clamped to [0, 1], a value that is not a number counting as 0.
void store(pair_set& dint, std::string_view name, std::string_view activity) {
  if (!name.starts_with("x(") || !name.ends_with(")")) return;
  std::string_view inner = name.substr(2, name.size() - 3);
  size_t comma = inner.find(',');
  int a = 0, b = 0;
  if (comma == std::string_view::npos || !parse_index(inner.substr(0, comma), a) ||
      !parse_index(inner.substr(comma + 1), b))
    return;
  int k = find_pair(dint, a, b);
  if (k < 0) return;
  dint.item[k].value = clamp_value(std::strtod(std::string(activity).c_str(), nullptr));
}

int fail(const char* what, const std::string& file) {
  std::fprintf(stderr, "parse_glp: %s (%s)\n", what, file.c_str());
  return 1;
}

int read_error(const line_reader& r, const std::string& file) {
  std::fprintf(stderr, "parse_glp: read error (%s): %s\n", file.c_str(), std::strerror(r.error()));
  return 1;
}

// The report after its column header: number, name, status, activity, ...
// on each line. A name longer than twelve characters stands on a line of
// its own, with the status, activity and bounds on the next. The slack
// columns e(t) follow all x columns; the first of them ends the reading.
int read_columns(line_reader& r, const std::string& file, pair_set& dint) {
  std::string_view line;
  while (r.next(line)) {
    size_t pos = 0;
    std::string_view num = next_token(line, pos, kBlanks);
    std::string name(next_token(line, pos, kBlanks));
    if (num.empty() || name.empty()) continue;
    if (name.size() == 1 && name != "B") {
      std::fprintf(stderr, "less %d %s\n", 1, name.c_str());
      return 1;
    }
    if (name[0] == 'e') return 0;
    std::string_view status = next_token(line, pos, kBlanks);
    if (status.empty()) {
      if (!r.next(line)) break;
      pos = 0;
      status = next_token(line, pos, kBlanks);
    }
    std::string_view activity = next_token(line, pos, kBlanks);
    if (activity.empty()) break;
    store(dint, name, activity);
  }
  if (r.error()) return read_error(r, file);
  return fail("report ends inside the column section", file);
}

}  // namespace

int my_parse_glp(const std::string& file, pair_set& dint) {
  file_ptr in(std::fopen(file.c_str(), "r"));
  return read_glp_report(in.get(), file, dint);
}

int read_glp_report(FILE* in, const std::string& file, pair_set& dint) {
  if (!in) {
    std::fprintf(stderr, "parse_glp2: fopen error (%s)\n", file.c_str());
    return 1;
  }
  line_reader r(in);
  std::string_view line;
  for (int n = 1; n <= 5; ++n) {
    if (r.next(line)) continue;
    if (r.error()) return read_error(r, file);
    return fail("report ends before its status line", file);
  }
  if (!line.starts_with("Status:     OPTIMAL")) {
    std::string shown(line);
    if (r.had_newline()) shown += '\n';
    std::fprintf(stderr, "parse_glp: Not optimal (%s) [%s]", file.c_str(), shown.c_str());
    return 1;
  }
  bool header = false;
  while (!header && r.next(line)) header = line.starts_with("   No. Column name");
  if (r.error()) return read_error(r, file);
  if (!header) return fail("no column section", file);
  return read_columns(r, file, dint);
}

}  // namespace domlp
