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
};
cv_summary summarize_cv(const std::vector<cv_pair>& pairs, const std::vector<double>& scores);

// The scored pairs with their labels, scores and bases, after the column
// names: out_cv_start, then out_cv for each fold in turn.
void out_cv_start(FILE* f);
void out_cv(FILE* f, const node_table& t, std::span<const cv_pair> pairs,
            std::span<const double> scores);
// The table of the fractions' measures: its header, and a fraction's line.
void out_cv_header(FILE* f);
void out_cv_line(FILE* f, float frac, const cv_summary& s);

// Whether test pair `p` cannot be scored: a protein has no domain.
inline bool no_domain(const node_table& t, const pair& p) {
  return t.prot[p.i].n == 0 || t.prot[p.j].n == 0;
}

}  // namespace domlp
