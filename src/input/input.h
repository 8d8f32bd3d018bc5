// Readers of the input files, in every format they come in: the observed and
// test protein-pair files and the domain annotation file. Every format fills
// the same tables.
#pragma once

#include <string>
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

// Reads the observed and test pair files, then the domain file; the count
// lines of counted files are all checked before anything else is read.
// Without `with_test` there is no test file. Returns 0, or 1 after printing
// why the input cannot be read.
int readdata(node_table& t, pair_set& obs, pair_set& test, pair_set& dint,
             const std::string& obs_file, const std::string& dom_file, const std::string& test_file,
             const input_options& o, bool with_test = true);

// Reads a reference list of interacting domain pairs (".gz" allowed): lines
// of two domain names, or the flat file of the structural domain-interaction
// databases, whose "#=ID" lines give the two domains' names and, in
// parentheses, their Pfam accessions. Returns 0, or 1 after printing why
// (a file without a single pair among them).
int read_known(const std::string& file, known_pairs& k);

// The tables of a run whose observed and test files would hold the pairs
// `train` and `test` (node indices of `full`'s proteins, in file order), with
// `full`'s domain lines: built as the readers build them, without printing.
void make_tables(const node_table& full, const std::vector<pair>& train,
                 const std::vector<pair>& test, node_table& t, pair_set& obs, pair_set& tst);

}  // namespace domlp
