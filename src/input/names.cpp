// The names of the domains: a table of accessions and family names, Pfam's
// Pfam-A.clans.tsv or two columns, matched to the domains read.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "input.h"
#include "io/io.h"

namespace domlp {

namespace {

constexpr std::string_view kBlanks = " \t";
// Pfam-A.clans.tsv: accession, clan accession, clan name, family name,
// description.
constexpr int kClanFields = 5;
constexpr int kFamilyField = 3;  // counted from 0

// An accession without its version: "PF00069.27" is "PF00069". A version is
// a dot and digits at the end of a name that begins with a letter.
std::string_view unversioned(std::string_view s) {
  size_t dot = s.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == s.size() ||
      !std::isalpha(static_cast<unsigned char>(s[0])))
    return s;
  for (size_t x = dot + 1; x < s.size(); ++x)
    if (!std::isdigit(static_cast<unsigned char>(s[x]))) return s;
  return s.substr(0, dot);
}

// The table read: each name once, by the accession as written and without
// its version; the first line of an accession wins.
struct name_table {
  std::vector<std::string> name;
  hash_map<std::string, size_t, name_hash, std::equal_to<>> whole, bare;
};

// What the checks after the reading need: the lines of an accession and a
// name and the first accession; of all data lines, the signs of a domain
// table or a pair file given in the file's place (a first field that is a
// protein of the pair files, or "domain:protein" with a domain read before
// the colon).
struct name_signs {
  long entries = 0;
  std::string first;
  long lines = 0;
  long proteins = 0;
  std::string protein;
  long domain_lines = 0;
};

// A data line of Pfam-A.clans.tsv: its tab-separated fields, the family
// name the fourth. Returns the number of fields.
long clan_fields(std::string_view line, std::string_view& acc, std::string_view& name) {
  long n = 0;
  for (size_t from = 0;; ++n) {
    size_t tab = line.find('\t', from);
    std::string_view field = line.substr(from, tab == std::string_view::npos ? tab : tab - from);
    if (n == 0) acc = field;
    if (n == kFamilyField) name = field;
    if (tab == std::string_view::npos) return n + 1;
    from = tab + 1;
  }
}

// A two-column line: the accession, after any blanks, up to the next tab or
// blank, the name the rest after the run of them, trailing blanks dropped
// (tabs inside it are part of it).
void two_columns(std::string_view line, std::string_view& acc, std::string_view& name) {
  line.remove_prefix(line.find_first_not_of(kBlanks));
  size_t end = line.find_first_of(kBlanks);
  acc = line.substr(0, end);
  size_t start = line.find_first_not_of(kBlanks, end == std::string_view::npos ? line.size() : end);
  name = start == std::string_view::npos ? std::string_view() : line.substr(start);
  name = name.substr(0, name.find_last_not_of(kBlanks) + 1);
}

// The domain names read, to tell a domain table given in the file's place.
using domain_set = boost::unordered_flat_set<std::string_view, name_hash, std::equal_to<>>;

void note_line(name_signs& signs, const node_table& t, const domain_set& doms,
               std::string_view acc) {
  ++signs.lines;
  if (find_prot(t, acc) >= 0 && signs.proteins++ == 0) signs.protein = acc;
  if (size_t colon = acc.find(':'); colon != std::string_view::npos)
    signs.domain_lines += doms.contains(acc.substr(0, colon));
}

void note_entry(name_table& tab, name_signs& signs, std::string_view acc, std::string_view name) {
  if (signs.entries++ == 0) signs.first = acc;
  size_t x = tab.name.size();
  tab.name.emplace_back(name);
  tab.whole.emplace(acc, x);
  tab.bare.emplace(unversioned(acc), x);
}

// The lines of the file, blank ones and '#' comments skipped. The first
// data line tells the format: five tab-separated fields are Pfam's, whose
// every data line must have them; anything else is two columns. Returns 0,
// or 1 after printing why.
int read_lines(line_reader& r, const std::string& file, const node_table& t, name_table& tab,
               name_signs& signs) {
  domain_set doms;
  for (const node& d : t.dom) doms.insert(d.name);
  std::string_view line;
  int format = 0;  // 0 not yet known, kClanFields, or 2
  while (r.next(line)) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(kBlanks) == std::string_view::npos || line.starts_with('#'))
      continue;
    std::string_view acc, name;
    long fields = clan_fields(line, acc, name);
    if (format == 0) format = fields == kClanFields ? kClanFields : 2;
    if (format == kClanFields && fields != kClanFields) {
      std::fprintf(stderr,
                   "--domain-names '%s': line %ld has %ld tab-separated fields where its first "
                   "has 5, as Pfam-A.clans.tsv has (accession, clan accession, clan name, family "
                   "name, description): give that file whole, or two columns of accession and "
                   "name\n",
                   file.c_str(), r.line_no(), fields);
      return 1;
    }
    if (format == 2) two_columns(line, acc, name);
    note_line(signs, t, doms, acc);
    if (!acc.empty() && !name.empty()) note_entry(tab, signs, acc, name);
  }
  return 0;
}

// Each domain's name: its accession's whole, or else without the version on
// both sides. Returns how many are named.
long match_names(const node_table& t, const name_table& tab, std::vector<std::string>& names) {
  names.assign(t.dom.size(), "-");
  long named = 0;
  for (size_t d = 0; d < t.dom.size(); ++d) {
    auto it = tab.whole.find(t.dom[d].name);
    if (it == tab.whole.end() && (it = tab.bare.find(unversioned(t.dom[d].name))) == tab.bare.end())
      continue;
    names[d] = tab.name[it->second];
    ++named;
  }
  return named;
}

// A file that names no domain read, or has no line of an accession and a
// name, is the wrong file: why it looks so. Returns 1.
int wrong_file(const std::string& file, const node_table& t, const name_signs& s) {
  const char* fix = "give Pfam-A.clans.tsv, or two columns of accession and name";
  const char* f = file.c_str();
  if (2 * s.domain_lines > s.lines)
    std::fprintf(stderr,
                 "--domain-names '%s': its lines are 'domain:protein ...': the domain table in its "
                 "place? (%s)\n",
                 f, fix);
  else if (2 * s.proteins > s.lines)
    std::fprintf(stderr,
                 "--domain-names '%s': its first fields are proteins of the pair files, such as "
                 "'%s', not domains: the domain table or a pair file in its place? (%s)\n",
                 f, s.protein.c_str(), fix);
  else if (s.entries == 0)
    std::fprintf(stderr, "--domain-names '%s': no line of an accession and a name: %s\n", f, fix);
  else
    std::fprintf(stderr,
                 "--domain-names '%s': none of its %ld accessions, such as '%s', is a domain "
                 "read, which are like '%s': a table of another database? (%s)\n",
                 f, s.entries, s.first.c_str(), t.dom[0].name.c_str(), fix);
  return 1;
}

}  // namespace

int read_domain_names(const std::string& file, const node_table& t,
                      std::vector<std::string>& names) {
  input_file in;
  if (!in.open(file)) {
    int e = errno;
    check_interrupt();  // the open of a pipe waits for its writer
    std::fprintf(stderr,
                 e == EILSEQ ? "--domain-names '%s': error reading: %s\n"
                             : "--domain-names '%s': cannot open: %s\n",
                 file.c_str(), in.why(e).c_str());
    return 1;
  }
  line_reader r(in.stream());
  name_table tab;
  name_signs signs;
  if (read_lines(r, file, t, tab, signs)) return 1;
  if (r.error()) {
    std::fprintf(stderr, "--domain-names '%s': error reading: %s\n", file.c_str(),
                 in.why(r.error()).c_str());
    return 1;
  }
  const long named = match_names(t, tab, names);
  if (signs.entries == 0 || (named == 0 && !t.dom.empty())) return wrong_file(file, t, signs);
  if (t.dom.empty()) return 0;
  if (2 * named < static_cast<long>(t.dom.size())) {
    size_t d = 0;
    while (names[d] != "-") ++d;
    std::fprintf(stderr,
                 "warning: --domain-names '%s': names %ld of the %zu domains read, such as '%s' "
                 "left unnamed (\"-\"): a table of another release than the domains'?\n",
                 file.c_str(), named, t.dom.size(), t.dom[d].name.c_str());
  }
  return 0;
}

}  // namespace domlp
