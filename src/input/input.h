// Readers of the input files, in every format they come in: the observed and
// test protein-pair files and the domain annotation file. Every format fills
// the same tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/model.h"

namespace domlp {

// Pair files: "counted" (a count line, then two names a line), "plain" (no
// count line; '#' lines skipped) or "mitab" (PSI-MITAB, tab-separated).
enum class pair_format { counted, plain, mitab };
// Domain files: "counted" (a count line, then "domain:protein protein ...")
// or "by_protein" (a protein and its domains a line, no count line).
enum class domain_format { counted, by_protein };

struct input_options {
  pair_format observed = pair_format::counted;
  pair_format test = pair_format::counted;
  domain_format domains = domain_format::counted;
  // By-protein domain files split on tabs: the protein's and the domains'
  // column, counted from 1; 0 when the line is split on any separator.
  int protein_column = 0;
  int domain_column = 0;
  std::string id_db;  // MITAB: the database whose identifiers name the proteins
  std::string taxid;  // MITAB: the taxon both interactors must belong to
};

// What the domain reader notes line by line for the checks after the
// reading: the signs of a file given in the place of another that the tables
// do not keep. start_notes makes them, the reader fills them.
struct table_notes {
  bool by_protein = false;  // lines of a by-protein table split on any separator
  long lines = 0;           // counted table: non-blank domain lines
  long pair_lines = 0;      // ... of them, lines without a colon naming two proteins
  std::string pair_line;    // the first of those
  // By-protein lines: the line each protein of the pair files was first
  // on (0: none yet), how many were on another line too, and the first one.
  std::vector<long> first_line;
  long repeated = 0;
  int repeated_prot = -1;
  long repeated_lines[2] = {0, 0};
};
table_notes start_notes(const node_table& t, const input_options& o);
// A counted domain line, with or without its colon.
void note_counted_line(table_notes& n, const node_table& t, std::string_view line, bool colon);
// A by-protein line naming protein `q` (-1: one of neither pair file).
void note_protein_line(table_notes& n, int q, long line_no);

// The files' names, in the order of the command line (no test file in a
// cross-validation), for the messages of the checks.
struct input_names {
  const std::string& obs;
  const std::string& dom;
  const std::string& test;
  bool with_test;
};

// Whether the tables read look like what each file was given as: a domain
// table whose domains are mostly numbers or proteins of the pair files, or
// whose lines are mostly pairs, is refused; a protein on several lines of a
// by-protein table, a table of number domains only, and pair files most of
// whose pairs name a protein unknown to the other inputs are warned of, a
// line each. Decided from the tables and `notes` alone. Returns 0, or 1
// after printing why no sane run can follow.
int check_tables(const node_table& t, const pair_set& obs, const pair_set& test,
                 const table_notes& notes, const input_names& names, const input_options& o);

// Warns, in one line, when none of the reference list's pairs is a candidate
// domain pair `dint` (the items of a built domain-pair set): how many of its
// names are domains of the table, and one of its pairs.
void check_known(const node_table& t, const pair_set& dint, const known_pairs& k,
                 const std::string& known_file, const std::string& dom_file);

// Reads the observed and test pair files, then the domain file; the count
// lines of counted files are all checked before anything else is read.
// Without `with_test` there is no test file. Returns 0, or 1 after printing
// why the input cannot be read or does not look like what it was given as
// (check_tables).
int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& dint,
             const std::string& obs_file, const std::string& dom_file, const std::string& test_file,
             const input_options& o, bool with_test = true);

// Reads a reference list of interacting domain pairs (".gz" allowed): lines
// of two domain names, or the flat file of the structural domain-interaction
// databases, whose "#=ID" lines give the two domains' names and, in
// parentheses, their Pfam accessions. Returns 0, or 1 after printing why,
// naming the option --known (a file without a single pair among them,
// whose lines split on commas told so).
int read_known(const std::string& file, known_pairs& k);

// Reads the family names of the domains of `t` (".gz" allowed) into `names`,
// by domain index, "-" for a domain the file does not name. The file is
// Pfam's Pfam-A.clans.tsv (five tab-separated fields: accession, clan
// accession, clan name, family name, description), told by its first line
// that is not blank or a '#' comment, or else two columns: an accession, then
// the name, the rest of the line after the first run of tabs or blanks.
// Accessions match whole, or else without a version (".27") on either side.
// Returns 0, or 1 after printing why, naming the option --domain-names: a
// file without a line of an accession and a name, or that names none of the
// domains; one that names fewer than half is warned of.
int read_domain_names(const std::string& file, const node_table& t,
                      std::vector<std::string>& names);

// The tables of a run whose observed and test files would hold the pairs
// `train` and `test` (node indices of `full`'s proteins, in file order), with
// `full`'s domain lines: built as the readers build them, without printing.
void make_tables(const node_table& full, const std::vector<pair>& train,
                 const std::vector<pair>& test, node_table& t, pair_set& obs, pair_set& tst);

}  // namespace domlp
