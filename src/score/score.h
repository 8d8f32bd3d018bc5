// Scoring of the test pairs from the domain-pair values, and the result
// files: the predicted pairs, the inferred domain pairs and every test
// pair's score.
#pragma once

#include <cstdio>
#include <span>

#include "lp/lp.h"
#include "model/model.h"

namespace domlp {

// Scores every test pair whose two proteins have domains.
void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test);

// The test pairs scoring at least 1, "name<TAB>name" a line.
void out_pint(FILE* f, const node_table& t, const pair_set& test);
// The domain pairs valued above 0, largest value first, each with the
// number of covering rows (observed pairs) that list it.
void out_dint(FILE* f, const node_table& t, const pair_set& dint, const lp_rows& rows);
// Every test pair with its score and whether it comes from domain pairs.
void out_scores(FILE* f, const node_table& t, const pair_set& test);

// One pair a cross-validation scores: an observed pair held out of the
// training pairs of its fold (a positive), or a random pair (a negative).
struct cv_pair {
  int fold;  // from 1
  int i, j;  // proteins of the tables read
  bool positive;
  bool no_domain;  // a protein without domains in its fold: predicted by rule
};

// What a cross-validation measures for one fraction; the evidence counts
// leave out the pairs predicted by rule.
struct cv_summary {
  long positives = 0;
  long negatives = 0;
  long predicted = 0;
  long true_predicted = 0;
  long evidence_predicted = 0;
  long evidence_true = 0;
  double auc = 0.0;  // the ROC area of the score; NaN without both kinds
  // With ranges: the pairs that every optimal solution predicts.
  long firm_predicted = 0;
  long firm_true = 0;
};
// `classes` (pair_class values) is empty without ranges.
cv_summary summarize_cv(const std::vector<cv_pair>& pairs, const std::vector<double>& scores,
                        const std::vector<char>& classes);

// The scored pairs with their labels, scores, bases and, with ranges, their
// classes, after the column names: out_cv_start, then out_cv for each fold
// in turn. `classes` is empty without ranges.
void out_cv_start(FILE* f, bool ranges);
void out_cv(FILE* f, const node_table& t, std::span<const cv_pair> pairs,
            std::span<const double> scores, std::span<const char> classes);
// The table of the fractions' measures: its header, and a fraction's line.
void out_cv_header(FILE* f, bool ranges);
void out_cv_line(FILE* f, float frac, const cv_summary& s, bool ranges);

// The bounds of every test pair's score over all optimal solutions: the
// same capped sum as its score, of the domain pairs' lowest values and of
// their highest. A pair with a domain-less protein has 1 and 1.
void calc_range_test(const node_table& t, const pair_set& dint, const std::vector<double>& low,
                     const std::vector<double>& high, const pair_set& test,
                     std::vector<double>& test_low, std::vector<double>& test_high);
// What a test pair's bounds say of its prediction (a score that reaches 1):
// every optimal solution predicts it (firm), some may (tied), none does
// (none), or it is predicted by rule (no_domain).
enum class pair_class : char { none, tied, firm, no_domain };
pair_class classify(bool no_domain, double low, double high);
const char* class_name(pair_class c);

// Every candidate domain pair that some optimal solution uses, firm ones
// first, with its class, range, returned value, observed pairs and, with a
// reference list, whether it is known.
void out_dranges(FILE* f, const node_table& t, const pair_set& dint, const lp_rows& rows,
                 const std::vector<double>& low, const std::vector<double>& high,
                 const std::vector<char>& known);
// Every test pair with its class and the bounds of its score.
void out_pranges(FILE* f, const node_table& t, const pair_set& test, const std::vector<double>& low,
                 const std::vector<double>& high);

// Which domain pairs the reference list names.
std::vector<char> mark_known(const node_table& t, const pair_set& dint, const known_pairs& k);
// How many of the candidates, of the returned pairs (valued above 0) and,
// with ranges (`low` not empty), of the firm and tied ones are known.
void out_known(FILE* f, const pair_set& dint, const std::vector<char>& known,
               const std::vector<double>& low, const std::vector<double>& high);

// Whether test pair `p` cannot be scored: a protein has no domain.
inline bool no_domain(const node_table& t, const pair& p) {
  return t.prot[p.i].n == 0 || t.prot[p.j].n == 0;
}

}  // namespace domlp
