#include <sys/stat.h>

#include <algorithm>
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
// What separates names in counted and plain files.
constexpr std::string_view kBlanks = " \t\r\n";
// What separates a protein and its domains on a by-protein line.
constexpr std::string_view kDomainSeparators = " \t\r\n,;";
constexpr size_t kMitabColumns = 15;

// Why a line is skipped with a warning; each reads after "with".
enum skip_reason { few_names, few_columns, no_identifier, no_db_identifier, nreasons };
// What a line parser says of a line: a pair, or a skip, silent or warned.
constexpr int kPair = -1;
constexpr int kSilent = -2;

// The skipped lines of one file: the first ten are warned of one by one,
// the others counted by reason into one last line.
struct skipped_lines {
  const std::string& file;
  std::string text[nreasons];
  long more[nreasons] = {};
  long shown = 0;

  explicit skipped_lines(const std::string& name) : file(name) {}

  void add(long line_no, int reason) {
    if (shown < kMaxWarnings) {
      ++shown;
      std::fprintf(stderr, "warning: %s:%ld: %s, line skipped\n", file.c_str(), line_no,
                   text[reason].c_str());
    } else {
      ++more[reason];
    }
  }
  void summary() const {
    long total = 0;
    int reasons = 0;
    for (int x = 0; x < nreasons; ++x) {
      total += more[x];
      reasons += more[x] > 0;
    }
    if (total == 0) return;
    if (reasons == 1) {
      for (int x = 0; x < nreasons; ++x)
        if (more[x] > 0)
          std::fprintf(stderr, "warning: %s: %ld more lines with %s skipped\n", file.c_str(), total,
                       text[x].c_str());
      return;
    }
    std::fprintf(stderr, "warning: %s: %ld more lines skipped:", file.c_str(), total);
    const char* sep = " ";
    for (int x = 0; x < nreasons; ++x) {
      if (more[x] == 0) continue;
      std::fprintf(stderr, "%s%ld with %s", sep, more[x], text[x].c_str());
      sep = ", ";
    }
    std::fputc('\n', stderr);
  }
};

int read_failed(const input_file& in, const line_reader& r, const std::string& file) {
  std::fprintf(stderr, "error reading '%s': %s\n", file.c_str(), in.why(r.error()).c_str());
  return 1;
}

// The count line: optional blanks, an optional '+', then digits that fit an
// int; anything after them is ignored. Without one, `hint` says which option
// reads the file as it is.
int read_count(line_reader& r, const input_file& in, const std::string& file, const char* hint,
               int& count) {
  std::string_view line;
  bool got = r.next(line);
  if (r.error()) return read_failed(in, r, file);
  size_t x = got ? std::min(line.find_first_not_of(" \t"), line.size()) : 0;
  if (x < line.size() && line[x] == '+') ++x;
  long long v = 0;
  size_t digits = 0;
  for (; x < line.size() && line[x] >= '0' && line[x] <= '9' && v <= INT_MAX; ++x, ++digits)
    v = v * 10 + (line[x] - '0');
  if (!got || digits == 0 || v > INT_MAX) {
    std::fprintf(stderr,
                 "'%s': the first line must begin with the number of lines that follow "
                 "(a non-negative integer); %s\n",
                 file.c_str(), hint);
    return 1;
  }
  count = static_cast<int>(v);
  return 0;
}

// The tables, as every reader fills them.

void add_pair(node_table& t, pair_set& s, std::string_view a, std::string_view b) {
  pair p;
  p.i = add_prot(t, a);
  p.j = add_prot(t, b);
  p.value = 1.0;
  s.item.push_back(p);
}

// A domain line: the proteins `members` of the protein list carry domain
// `name`. A domain without any is dropped and takes no index.
void add_domain(node_table& t, std::string_view name, const std::vector<int>& members) {
  if (members.empty()) return;
  node& d = t.dom.emplace_back();
  d.name = name;
  d.member = members;
  d.n = static_cast<int>(members.size());
}

// Links proteins to the kept domains, in domain order, so that every
// protein's domain list is non-decreasing; a protein listed twice on a line
// is linked twice.
void link_domains(node_table& t) {
  t.ndom = static_cast<int>(t.dom.size());
  // Each protein's list is allocated once, at its length.
  for (const node& d : t.dom)
    for (int q : d.member) ++t.prot[q].n;
  for (node& q : t.prot) q.member.reserve(static_cast<size_t>(q.n));
  for (int d = 0; d < t.ndom; ++d)
    for (int q : t.dom[d].member) t.prot[q].member.push_back(d);
}

// Pair lines.

// Two names separated by blanks; a line without any is blank.
int names_pair(std::string_view line, std::string_view& a, std::string_view& b) {
  size_t pos = 0;
  a = next_token(line, pos, kBlanks);
  b = next_token(line, pos, kBlanks);
  return a.empty() ? kSilent : b.empty() ? few_names : kPair;
}

std::string_view unquote(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

// One item of a MITAB column, "database:identifier(description)", from
// `pos` on; items are separated by '|', and a double-quoted part may hold
// any of the separators. False after the last item.
bool next_item(std::string_view col, size_t& pos, std::string_view& db, std::string_view& id) {
  if (pos > col.size()) return false;
  size_t start = pos, colon = std::string_view::npos, paren = std::string_view::npos;
  bool quoted = false;
  for (; pos < col.size(); ++pos) {
    char c = col[pos];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == '|') {
      break;
    } else if (!quoted && c == ':' && colon == std::string_view::npos) {
      colon = pos;
    } else if (!quoted && c == '(' && colon != std::string_view::npos) {
      paren = std::min(paren, pos);
    }
  }
  std::string_view item = col.substr(start, std::min(paren, pos) - start);
  size_t split = colon == std::string_view::npos ? colon : colon - start;
  // The whole item may be quoted as well: "database:identifier".
  if (split == std::string_view::npos && unquote(item) != item) {
    item = unquote(item);
    split = item.find(':');
  }
  db = split == std::string_view::npos ? std::string_view() : unquote(item.substr(0, split));
  id = unquote(item.substr(split == std::string_view::npos ? 0 : split + 1));
  ++pos;
  return true;
}

// An interactor's identifier: the first item of its identifier column, or
// with a database named the first of that database in its identifier and
// then its alternative-identifier column.
int interactor(std::string_view ids, std::string_view alt, const std::string& want,
               std::string_view& name) {
  std::string_view db, id;
  size_t pos = 0;
  if (want.empty()) {
    next_item(ids, pos, db, id);
    name = id;
    return id.empty() || id == "-" ? no_identifier : kPair;
  }
  for (std::string_view col : {ids, alt})
    for (pos = 0; next_item(col, pos, db, id);)
      if (db == want) {
        name = id;
        return id.empty() || id == "-" ? no_identifier : kPair;
      }
  return no_db_identifier;
}

bool has_taxid(std::string_view col, const std::string& taxid) {
  std::string_view db, id;
  for (size_t pos = 0; next_item(col, pos, db, id);)
    if (db == "taxid" && id == taxid) return true;
  return false;
}

// A PSI-MITAB line: interactor A in columns 1 and 3, B in 2 and 4, their
// taxa in 10 and 11.
int mitab_pair(std::string_view line, const input_options& o, std::string_view& a,
               std::string_view& b) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.empty() || line[0] == '#') return kSilent;
  std::string_view col[kMitabColumns];
  size_t n = 0, pos = 0;
  while (n < kMitabColumns && pos <= line.size()) {
    size_t tab = std::min(line.find('\t', pos), line.size());
    col[n++] = line.substr(pos, tab - pos);
    pos = tab + 1;
  }
  if (n < kMitabColumns) return few_columns;
  if (!o.taxid.empty() && !(has_taxid(col[9], o.taxid) && has_taxid(col[10], o.taxid)))
    return kSilent;
  int why = interactor(col[0], col[2], o.id_db, a);
  return why != kPair ? why : interactor(col[1], col[3], o.id_db, b);
}

int parse_pair(std::string_view line, pair_format fmt, const input_options& o, std::string_view& a,
               std::string_view& b) {
  switch (fmt) {
    case pair_format::plain:
      if (!line.empty() && line[0] == '#') return kSilent;
      return names_pair(line, a, b);
    case pair_format::mitab:
      return mitab_pair(line, o, a, b);
    default:
      return names_pair(line, a, b);
  }
}

// Makes room for the pairs that a counted file's count line announces, as
// many as the file can hold (a pair line has at least four bytes) when it is
// a regular file: grown by doubling instead, the list of millions of pairs
// was copied into new memory each time and the old returned to the system.
void reserve_pairs(pair_set& s, const input_file& in) {
  struct stat st;
  const int fd = ::fileno(in.stream());
  if (s.n <= 0 || fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  s.item.reserve(std::min(static_cast<size_t>(s.n), static_cast<size_t>(st.st_size) / 4));
}

// The pair lines (after the count line of a counted file). The tables grow
// with what is read.
int readprotint(node_table& t, pair_set& s, line_reader& r, const input_file& in,
                const std::string& file, pair_format fmt, const input_options& o) {
  skipped_lines skipped{file};
  skipped.text[few_names] = "fewer than two protein names";
  skipped.text[few_columns] = "fewer than 15 columns";
  skipped.text[no_identifier] = "an identifier '-'";
  skipped.text[no_db_identifier] = "no " + o.id_db + " identifier";
  if (fmt == pair_format::counted) reserve_pairs(s, in);
  std::string_view line;
  while (r.next(line)) {
    std::string_view a, b;
    int why = parse_pair(line, fmt, o, a, b);
    if (why == kSilent) continue;
    if (why != kPair) {
      skipped.add(r.line_no(), why);
      continue;
    }
    if (s.item.size() == INT_MAX) {
      std::fprintf(stderr, "'%s': too many pairs\n", file.c_str());
      return 1;
    }
    add_pair(t, s, a, b);
  }
  if (r.error()) return read_failed(in, r, file);
  skipped.summary();
  // A counted file says how many pairs it holds, none included; a file
  // without a pair line in another format is not what it was taken for.
  if (fmt != pair_format::counted && s.item.empty()) {
    std::fprintf(stderr, "'%s': no protein pair in the file\n", file.c_str());
    return 1;
  }
  t.nprot = static_cast<int>(t.prot.size());
  s.n = static_cast<int>(s.item.size());
  std::printf("Total proteins: %d\n", t.nprot);
  std::printf("Total protein pairs: %d\n", s.n);
  return 0;
}

// Domain lines.

// The index of a protein of the domain table, or -1 for one that neither
// pair file has; the last such name is kept for messages.
int table_protein(node_table& t, std::string_view name) {
  int q = find_prot(t, name);
  if (q < 0) t.unmatched_name = name;
  return q;
}

// "name:protein protein ...": the name runs from after any leading colons to
// the next colon. Only proteins of the pair files are kept.
void counted_domain(node_table& t, std::string_view line, std::vector<int>& members,
                    table_notes& notes) {
  size_t start = line.find_first_not_of(':');
  size_t colon = start == std::string_view::npos ? start : line.find(':', start);
  note_counted_line(notes, t, line, colon != std::string_view::npos);
  if (colon == std::string_view::npos) return;
  members.clear();
  size_t pos = colon + 1;
  for (std::string_view tok; !(tok = next_token(line, pos, kBlanks)).empty();) {
    int q = table_protein(t, tok);
    if (q >= 0) members.push_back(q);
  }
  add_domain(t, line.substr(start, colon - start), members);
}

// A by-protein file's domains, in order of first appearance, each with the
// proteins of the pair files that carry it, once per occurrence in line
// order: the tables are those of the counted file listing them so.
struct domains_by_protein {
  std::vector<std::pair<std::string, std::vector<int>>> dom;
  hash_map<std::string, size_t, name_hash, std::equal_to<>> index;

  void add(std::string_view domain, int q) {
    auto it = index.find(domain);
    if (it == index.end()) {
      it = index.emplace(std::string(domain), dom.size()).first;
      dom.emplace_back(std::string(domain), std::vector<int>());
    }
    if (q >= 0) dom[it->second].second.push_back(q);
  }
};

std::string_view trim_spaces(std::string_view s) {
  size_t a = s.find_first_not_of(' ');
  return a == std::string_view::npos ? std::string_view()
                                     : s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The tab-separated column `n` (from 1) of `line`, or false.
bool column(std::string_view line, int n, std::string_view& col) {
  size_t pos = 0;
  for (int x = 1; x < n; ++x) {
    pos = line.find('\t', pos);
    if (pos == std::string_view::npos) return false;
    ++pos;
  }
  col = line.substr(pos, std::min(line.find('\t', pos), line.size()) - pos);
  return true;
}

// A protein and its domains: all on the line, or in the two columns chosen.
int by_protein_line(node_table& t, std::string_view line, const input_options& o,
                    domains_by_protein& doms, table_notes& notes, long line_no) {
  if (line.ends_with('\r')) line.remove_suffix(1);
  if (line.empty() || line[0] == '#') return kSilent;
  std::string_view prot, list = line;
  size_t pos = 0;
  std::string_view seps = kDomainSeparators;
  if (o.protein_column > 0) {
    if (!column(line, o.protein_column, prot) || !column(line, o.domain_column, list))
      return few_columns;
    prot = trim_spaces(prot);
    seps = ",;";
  } else {
    prot = next_token(line, pos, seps);
  }
  if (prot.empty()) return kSilent;
  int q = table_protein(t, prot);
  note_protein_line(notes, q, line_no);
  for (std::string_view tok; !(tok = next_token(list, pos, seps)).empty();) {
    tok = trim_spaces(tok);
    if (!tok.empty()) doms.add(tok, q);
  }
  return kPair;
}

// The domain lines (after the count line of a counted file), then the links
// between proteins and kept domains.
int creat_domprot(node_table& t, line_reader& r, const input_file& in, const std::string& file,
                  const input_options& o, table_notes& notes) {
  skipped_lines skipped{file};
  skipped.text[few_columns] =
      "fewer than " + std::to_string(std::max(o.protein_column, o.domain_column)) + " columns";
  std::vector<int> members;
  domains_by_protein doms;
  std::string_view line;
  while (r.next(line)) {
    if (o.domains == domain_format::counted) {
      counted_domain(t, line, members, notes);
    } else if (int why = by_protein_line(t, line, o, doms, notes, r.line_no()); why >= 0) {
      skipped.add(r.line_no(), why);
    }
    if (t.dom.size() >= INT_MAX || doms.dom.size() >= INT_MAX) {
      std::fprintf(stderr, "'%s': too many domains\n", file.c_str());
      return 1;
    }
  }
  if (r.error()) return read_failed(in, r, file);
  skipped.summary();
  for (const auto& [name, proteins] : doms.dom) add_domain(t, name, proteins);
  link_domains(t);
  std::printf("domain number: %d\n", t.ndom);
  return 0;
}

}  // namespace

int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& /*dint*/,
             const std::string& obs_file, const std::string& dom_file, const std::string& test_file,
             const input_options& o, bool with_test) {
  // Every count line is checked before anything else is read, so that a bad
  // file stops the run before any output. Each file is read once, on from
  // its count line: a pipe cannot be read a second time.
  const std::string* names[3] = {&obs_file, &dom_file, &test_file};
  bool counted[3] = {o.observed == pair_format::counted, o.domains == domain_format::counted,
                     o.test == pair_format::counted};
  const char* hints[3] = {
      "for a file without a count line use --observed-format plain",
      "for a table whose lines begin with a protein use --domain-format by-protein",
      "for a file without a count line use --test-format plain"};
  int* counts[3] = {&obs.n, &t.ndom, &test.n};
  input_file in[3];
  std::optional<line_reader> r[3];
  int files = with_test ? 3 : 2;
  for (int x = 0; x < files; ++x) {
    if (!in[x].open(*names[x])) {
      int e = errno;
      check_interrupt();  // the open of a pipe waits for its writer
      std::fprintf(stderr, e == EILSEQ ? "error reading '%s': %s\n" : "cannot open '%s': %s\n",
                   names[x]->c_str(), in[x].why(e).c_str());
      return 1;
    }
    r[x].emplace(in[x].stream());
    if (counted[x] && read_count(*r[x], in[x], *names[x], hints[x], *counts[x])) return 1;
  }
  t.nprot = 0;
  if (readprotint(t, obs, *r[0], in[0], obs_file, o.observed, o)) return 1;
  if (files == 3 && readprotint(t, test, *r[2], in[2], test_file, o.test, o)) return 1;
  table_notes notes = start_notes(t, o);
  if (creat_domprot(t, *r[1], in[1], dom_file, o, notes)) return 1;
  return check_tables(t, obs, test, notes, {obs_file, dom_file, test_file, with_test}, o);
}

namespace {

// A "#=ID" line: "#=ID  Pkinase  SH2  (PF00069.22@Pfam PF00017.21@Pfam)",
// tabs or blanks between the fields. Both the names and the accessions
// (without what follows '@') name the pair. Returns whether it had both.
bool flat_file_pair(std::string_view line, known_pairs& k) {
  size_t pos = 4;  // after "#=ID"
  std::string_view a = next_token(line, pos, kBlanks), b = next_token(line, pos, kBlanks);
  size_t open = line.find('(', pos), close = line.find(')', pos);
  if (b.empty() || open == std::string_view::npos || close < open) return false;
  std::string_view inside = line.substr(open + 1, close - open - 1);
  size_t at = 0;
  std::string_view pa = next_token(inside, at, kBlanks), pb = next_token(inside, at, kBlanks);
  if (pb.empty()) return false;
  pa = pa.substr(0, pa.find('@'));
  pb = pb.substr(0, pb.find('@'));
  k.key.insert(known_key(a, b));
  k.key.insert(known_key(pa, pb));
  return true;
}

}  // namespace

int read_known(const std::string& file, known_pairs& k) {
  input_file in;
  if (!in.open(file)) {
    int e = errno;
    check_interrupt();
    std::fprintf(
        stderr,
        e == EILSEQ ? "--known '%s': error reading: %s\n" : "--known '%s': cannot open: %s\n",
        file.c_str(), in.why(e).c_str());
    return 1;
  }
  // Told apart by content: a flat file has "#=ID" lines, and only those
  // name pairs; otherwise each line that is not a '#' comment or blank
  // names one by its first two names.
  line_reader r(in.stream());
  known_pairs plain;
  bool flat = false, commas = false;
  std::string_view line;
  while (r.next(line)) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with("#=ID")) {
      flat = flat_file_pair(line, k) || flat;
    } else if (!line.starts_with('#')) {
      std::string_view a, b;
      if (names_pair(line, a, b) == kPair)
        plain.key.insert(known_key(a, b));
      else
        commas = commas || line.find(',') != std::string_view::npos;
    }
  }
  if (r.error()) {
    std::fprintf(stderr, "--known '%s': error reading: %s\n", file.c_str(),
                 in.why(r.error()).c_str());
    return 1;
  }
  if (!flat) k.key.swap(plain.key);
  if (k.key.empty()) {
    std::fprintf(stderr, "--known '%s': no pair of domain names in the file%s\n", file.c_str(),
                 commas ? " (its names are separated by commas: put a blank or a tab between "
                          "the two names of a pair)"
                        : "");
    return 1;
  }
  return 0;
}

void make_tables(const node_table& full, const std::vector<pair>& train,
                 const std::vector<pair>& test, node_table& t, pair_set& obs, pair_set& tst) {
  t.prot.reserve(full.prot.size());
  t.prot_index.reserve(full.prot.size());
  t.dom.reserve(full.dom.size());
  obs.item.reserve(train.size());
  tst.item.reserve(test.size());
  for (const pair& p : train) add_pair(t, obs, full.prot[p.i].name, full.prot[p.j].name);
  for (const pair& p : test) add_pair(t, tst, full.prot[p.i].name, full.prot[p.j].name);
  t.nprot = static_cast<int>(t.prot.size());
  obs.n = static_cast<int>(obs.item.size());
  tst.n = static_cast<int>(tst.item.size());
  std::vector<int> members;
  for (const node& d : full.dom) {
    members.clear();
    for (int q : d.member) {
      int x = find_prot(t, full.prot[q].name);
      if (x >= 0) members.push_back(x);
    }
    add_domain(t, d.name, members);
  }
  link_domains(t);
}

}  // namespace domlp
