// Checks that the input read looks like what each file was given as: a
// domain table that holds numbers, protein names or pairs, a by-protein table
// that lists a protein twice, pair files most of whose proteins the other
// inputs never name, and a reference list that names none of the candidate
// domain pairs. Each is decided once the whole file is read, from the tables
// and a few counts the readers note on the way.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "input.h"
#include "io/io.h"

namespace domlp {

namespace {

// What separates names on a pair line and on a counted domain line.
constexpr std::string_view kNameBlanks = " \t\r\n";
// Below this many domain occurrences, lines or pairs a share says little,
// and small hand-made inputs stay free of warnings.
constexpr long kFewest = 20;

// Whether a name is a decimal number ("110", "-3.5", "1e-10") or a
// hexadecimal checksum (Pfam's CRC64 has 16 digits, an MD5 32): what a
// column of positions, scores or checksums gives when read as domains.
bool number_like(std::string_view s) {
  if (s.empty()) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  // from_chars also reads "inf" and "nan", which hold no digit.
  if (end == s.data() + s.size() && (ec == std::errc() || ec == std::errc::result_out_of_range) &&
      s.find_first_of("0123456789") != std::string_view::npos)
    return true;
  auto hex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  };
  return s.size() >= 16 && std::all_of(s.begin(), s.end(), hex);
}

// Which pair files each protein is in, and whether its name is also that
// of a domain of the table.
struct protein_marks {
  std::vector<char> in_obs, in_test, is_domain;
};

protein_marks mark_proteins(const node_table& t, const pair_set& obs, const pair_set& test) {
  protein_marks m;
  m.in_obs.assign(t.prot.size(), 0);
  m.in_test.assign(t.prot.size(), 0);
  m.is_domain.assign(t.prot.size(), 0);
  for (const pair& p : obs.item) m.in_obs[p.i] = m.in_obs[p.j] = 1;
  for (const pair& p : test.item) m.in_test[p.i] = m.in_test[p.j] = 1;
  for (const node& d : t.dom)
    if (int q = find_prot(t, d.name); q >= 0) m.is_domain[q] = 1;
  return m;
}

// The domain occurrences on proteins of the pair files (what the tables
// keep), and those whose domain is a number or the name of a protein, and
// of a protein that carries domains itself.
struct domain_census {
  long links = 0;
  long numbers = 0;
  long proteins = 0, carrying = 0;
  const node* number = nullptr;  // the first of each kind
  const node* protein = nullptr;
};

domain_census take_census(const node_table& t) {
  domain_census c;
  for (const node& d : t.dom) {
    c.links += d.n;
    if (number_like(d.name)) {
      c.numbers += d.n;
      if (!c.number) c.number = &d;
    }
    if (int q = find_prot(t, d.name); q >= 0) {
      c.proteins += d.n;
      c.carrying += t.prot[q].n > 0 ? d.n : 0;
      if (!c.protein) c.protein = &d;
    }
  }
  return c;
}

// Whether `part` is most of the domain occurrences, of enough of them.
bool most_links(long part, const domain_census& c) {
  return c.links >= kFewest && 2 * part > c.links;
}

const char* order_hint(const input_names& f) {
  return f.with_test ? "the arguments are OBSERVED_PAIRS DOMAINS TEST_PAIRS FRACTION"
                     : "the arguments are OBSERVED_PAIRS DOMAINS FRACTION";
}

// What to try when the domains read are not domains.
const char* columns_hint(const input_options& o) {
  if (o.domains == domain_format::counted) return "is it the domain table?";
  if (o.protein_column > 0) return "does --domain-columns name the domains' column?";
  return "name the protein's and the domains' columns with --domain-columns P,D "
         "(1,5 for Pfam's regions table)";
}

// A name as a message shows it: it may hold any byte, NUL included.
std::string shown(std::string_view s) {
  return std::string(s.begin(), std::find(s.begin(), s.end(), '\0'));
}

// A pair file most of whose pairs name a domain of the table is a domain
// table itself. Returns whether it said so.
bool pairs_of_domains(const node_table& t, const pair_set& s, const std::string& file,
                      const char* role, const protein_marks& m, const input_names& f) {
  long n = 0;
  int example = -1;
  for (const pair& p : s.item) {
    if (!m.is_domain[p.i] && !m.is_domain[p.j]) continue;
    if (n++ == 0) example = m.is_domain[p.i] ? p.i : p.j;
  }
  if (s.n < kFewest || 2 * n <= s.n) return false;
  std::fprintf(stderr,
               "'%s': %ld of its %d pairs name a domain of '%s', such as '%s': a domain table in "
               "the place of %s? (%s)\n",
               file.c_str(), n, s.n, f.dom.c_str(), shown(t.prot[example].name).c_str(), role,
               order_hint(f));
  return true;
}

// The errors of files in each other's place, or of columns read as
// domains: a pair file that names the table's domains; a domain table most
// of whose lines are pairs, or most of whose domains are protein names or
// numbers. Returns 0, or 1 after printing why.
int check_misplaced(const node_table& t, const pair_set& obs, const pair_set& test,
                    const protein_marks& m, const table_notes& n, const input_names& f,
                    const input_options& o) {
  const char* dom = f.dom.c_str();
  if (n.lines >= kFewest && 2 * n.pair_lines > n.lines) {
    std::fprintf(stderr,
                 "'%s': %ld of its %ld lines are two proteins of the pair files, such as '%s', "
                 "not 'domain:protein protein ...': a pair file in the place of DOMAINS? (%s)\n",
                 dom, n.pair_lines, n.lines, shown(n.pair_line).c_str(), order_hint(f));
    return 1;
  }
  // Domains named as proteins are those of a pair file read as the table
  // when they carry domains themselves, as the proteins of pairs do; when
  // they do not, a domain table read as a pair file made them proteins.
  const domain_census c = take_census(t);
  const bool pair_table = most_links(c.proteins, c);
  if ((!pair_table || 2 * c.carrying <= c.proteins) &&
      (pairs_of_domains(t, obs, f.obs, "OBSERVED_PAIRS", m, f) ||
       (f.with_test && pairs_of_domains(t, test, f.test, "TEST_PAIRS", m, f))))
    return 1;
  if (pair_table) {
    std::fprintf(
        stderr,
        "'%s': %ld of the %ld domains it gives the proteins of the pair files are "
        "protein names themselves, such as '%s': a pair file in the place of DOMAINS? "
        "(%s)\n",
        dom, c.proteins, c.links, shown(c.protein->name).c_str(),
        o.protein_column > 0 ? "or --domain-columns on a column of proteins" : order_hint(f));
    return 1;
  }
  // Domains that are all numbers may be numbered identifiers; numbers
  // mixed with names are columns of a table read as domains.
  if (most_links(c.numbers, c) && c.numbers < c.links) {
    std::fprintf(stderr,
                 "'%s': %ld of the %ld domains it gives the proteins of the pair files are numbers "
                 "or checksums, such as '%s': columns of a table read as domains? %s\n",
                 dom, c.numbers, c.links, shown(c.number->name).c_str(), columns_hint(o));
    return 1;
  }
  if (most_links(c.numbers, c))
    std::fprintf(stderr,
                 "warning: '%s': every domain it gives the proteins of the pair files is a number "
                 "or checksum, such as '%s': numbered domain identifiers, or a column of "
                 "positions? %s\n",
                 dom, shown(c.number->name).c_str(), columns_hint(o));
  return 0;
}

// The pairs of a pair file with a protein unknown to the other inputs: one
// without a domain that the other pair file (its proteins marked in
// `other`) does not name either; and the first such protein.
struct unknown_count {
  long pairs = 0;
  int example = -1;
};

unknown_count count_unknown(const node_table& t, const pair_set& s,
                            const std::vector<char>& other) {
  unknown_count u;
  auto unknown = [&](int q) { return t.prot[q].n == 0 && !other[q]; };
  for (const pair& p : s.item) {
    if (!unknown(p.i) && !unknown(p.j)) continue;
    if (u.pairs++ == 0) u.example = unknown(p.i) ? p.i : p.j;
  }
  return u;
}

// Pair files most of whose pairs have a protein the other inputs do not
// name: a warning each.
void check_pairs(const node_table& t, const pair_set& obs, const pair_set& test,
                 const protein_marks& m, const input_names& f) {
  auto warn = [&](const pair_set& s, const std::string& file, const std::vector<char>& other,
                  const std::string& other_file) {
    if (s.n < kFewest) return;
    unknown_count u = count_unknown(t, s, other);
    if (2 * u.pairs <= s.n) return;
    std::string where = other_file.empty() ? "without a domain in '" + f.dom + "'"
                                           : "found neither in '" + other_file +
                                                 "' nor with a domain in '" + f.dom + "'";
    std::fprintf(stderr, "warning: '%s': %ld of its %d pairs have a protein %s, such as '%s'\n",
                 file.c_str(), u.pairs, s.n, where.c_str(), shown(t.prot[u.example].name).c_str());
  };
  warn(obs, f.obs, m.in_test, f.with_test ? f.test : std::string());
  if (f.with_test) warn(test, f.test, m.in_obs, f.obs);
}

// The two names of a reference list's key (known_key): the length of the
// first, a colon, then both.
std::pair<std::string_view, std::string_view> key_names(std::string_view key) {
  size_t colon = key.find(':'), len = 0;
  std::from_chars(key.data(), key.data() + colon, len);
  return {key.substr(colon + 1, len), key.substr(colon + 1 + len)};
}

}  // namespace

table_notes start_notes(const node_table& t, const input_options& o) {
  table_notes n;
  // With --domain-columns the tables named (Pfam's regions, InterPro's
  // matches) hold one domain a line: a protein on many lines is their form.
  n.by_protein = o.domains == domain_format::by_protein && o.protein_column == 0;
  if (n.by_protein) n.first_line.assign(t.prot.size(), 0);
  return n;
}

void note_counted_line(table_notes& n, const node_table& t, std::string_view line, bool colon) {
  if (colon) {
    ++n.lines;
    return;
  }
  size_t pos = 0;
  std::string_view a = next_token(line, pos, kNameBlanks);
  if (a.empty()) return;
  ++n.lines;
  std::string_view b = next_token(line, pos, kNameBlanks);
  if (b.empty() || find_prot(t, a) < 0 || find_prot(t, b) < 0) return;
  if (n.pair_lines++ == 0) n.pair_line = std::string(a) + " " + std::string(b);
}

void note_protein_line(table_notes& n, int q, long line_no) {
  if (!n.by_protein || q < 0) return;
  // The first line's number, negated once the protein is counted.
  long& first = n.first_line[q];
  if (first == 0) {
    first = line_no;
    return;
  }
  if (first < 0) return;
  if (n.repeated++ == 0) {
    n.repeated_prot = q;
    n.repeated_lines[0] = first;
    n.repeated_lines[1] = line_no;
  }
  first = -first;
}

int check_tables(const node_table& t, const pair_set& obs, const pair_set& test,
                 const table_notes& notes, const input_names& names, const input_options& o) {
  const protein_marks marks = mark_proteins(t, obs, test);
  if (check_misplaced(t, obs, test, marks, notes, names, o)) return 1;
  if (notes.repeated > 0)
    std::fprintf(stderr,
                 "warning: '%s': %ld proteins are on more than one line, the first '%s' on lines "
                 "%ld and %ld: the domains of all its lines are added up, so a domain on two of "
                 "them is carried twice\n",
                 names.dom.c_str(), notes.repeated, shown(t.prot[notes.repeated_prot].name).c_str(),
                 notes.repeated_lines[0], notes.repeated_lines[1]);
  check_pairs(t, obs, test, marks, names);
  return 0;
}

void check_known(const node_table& t, const pair_set& dint, const known_pairs& k,
                 const std::string& known_file, const std::string& dom_file) {
  if (dint.item.empty()) return;
  for (const pair& dp : dint.item)
    if (k.key.contains(known_key(t.dom[dp.i].name, t.dom[dp.j].name))) return;
  boost::unordered_flat_set<std::string_view, name_hash> domains, names;
  for (const node& d : t.dom) domains.insert(known_name(d.name));
  const std::string* least = nullptr;
  for (const std::string& key : k.key) {
    auto [a, b] = key_names(key);
    names.insert(a);
    names.insert(b);
    if (!least || key < *least) least = &key;
  }
  long in_table = 0;
  bool commas = false;
  for (std::string_view name : names) {
    in_table += domains.contains(name);
    commas = commas || name.find(',') != std::string_view::npos;
  }
  auto [a, b] = key_names(*least);
  std::fprintf(stderr,
               "warning: --known '%s': none of the %zu pairs it names is a candidate domain pair, "
               "and %ld of its %zu names are domains of '%s' (one of its pairs: '%s %s')%s\n",
               known_file.c_str(), k.key.size(), in_table, names.size(), dom_file.c_str(),
               shown(a).c_str(), shown(b).c_str(),
               commas ? "; its names hold commas: put a blank or a tab between the two names of "
                        "a pair"
                      : "");
}

}  // namespace domlp
