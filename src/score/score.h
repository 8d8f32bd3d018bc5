// Scoring of the test pairs from the domain-pair values, and the result
// files: the predicted pairs, the inferred domain pairs and every test
// pair's score.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "lp/lp.h"
#include "model/model.h"

namespace domlp {

struct graded;

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

// The scores of the pairs that a cross-validation scores, for one
// fraction: their scores, with ranges their classes (pair_class values),
// with baselines their confidences, the two counts and the rate score that
// it is measured against (NaN for a pair with a domain-less protein). What
// is not asked for is empty.
struct cv_scores {
  std::vector<double> score;
  std::vector<char> cls;
  std::vector<double> graded, credit, support, rate;
};
// Which columns a cross-validation's files have.
struct cv_columns {
  bool ranges = false;
  bool baselines = false;
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
  // With baselines, the ROC areas over the pairs whose proteins have
  // domains, of the values as "%g" writes them: of the score, the
  // confidence, the credit split, the support and the rate score.
  double evidence_auc = NAN, graded_auc = NAN, credit_auc = NAN, support_auc = NAN, rate_auc = NAN;
};
cv_summary summarize_cv(const std::vector<cv_pair>& pairs, const cv_scores& s);

// The scored pairs with their labels, scores, bases and, with ranges and
// baselines, what these add, after the column names: out_cv_start, then
// out_cv for each fold in turn, whose pairs' scores begin at `from`.
void out_cv_start(FILE* f, cv_columns c);
void out_cv(FILE* f, const node_table& t, std::span<const cv_pair> pairs, const cv_scores& s,
            size_t from);
// The table of the fractions' measures: its header, and a fraction's line.
void out_cv_header(FILE* f, cv_columns c);
void out_cv_line(FILE* f, float frac, const cv_summary& s, cv_columns c);

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
// with ranges (`low` not empty), of the firm and tied ones are known; with
// the graded confidence `g`, of the first 250, 500, 1 000, 2 000 and 4 000
// domain pairs by confidence, by observed pairs and by credit.
void out_known(FILE* f, const pair_set& dint, const std::vector<char>& known,
               const std::vector<double>& low, const std::vector<double>& high,
               const graded* g = nullptr);

// The graded confidence of the candidate domain pairs, from the observed
// pairs alone (see graded.cpp), by domain pair: the observed pairs that form
// it (O), the sum of k_p k_q over the protein pairs {p, q} able to form it
// (2 L E, L the rows, k_p the rows of protein p), those pairs' number N, and
// its twins t, the candidate domain pairs formed by exactly its observed
// pairs (itself included). Also the credit split that it is measured
// against: each observed pair gives one unit of credit, split equally over
// its domain pairs.
struct pair_grade {
  int64_t observed = 0;  // O
  int64_t chance = 0;    // 2 L E
  int64_t pairs = 0;     // N
  double credit = 0.0;
  int twins = 0;  // t
};
struct graded {
  // By domain pair, its counts side by side: the tables are read in the
  // order of the confidence, and one record a pair costs one cache miss
  // where a column each cost five.
  std::vector<pair_grade> of;
  int64_t rows2 = 0;          // 2 L
  std::vector<size_t> order;  // graded_order, once for every use
};
graded grade_dint(const node_table& t, const pair_set& obs, const pair_set& dint,
                  const lp_rows& rows);
// A domain pair's chance ratio (O + 1) / (E + 1); its confidence, the ratio
// times (t + 1) / (2 t); its expected observed pairs E; and its rate, E / N
// times the chance ratio.
double chance_ratio(const graded& g, size_t d);
double confidence(const graded& g, size_t d);
double expected(const graded& g, size_t d);
double rate(const graded& g, size_t d);
// The domain pairs by confidence, largest first (compared exactly), then by
// observed pairs; by observed pairs alone; by credit; and, given their
// ranges, the firm ones first, then by chance ratio. Equals keep the order
// in which the pairs were first formed.
std::vector<size_t> graded_order(const graded& g);
std::vector<size_t> support_order(const graded& g);
std::vector<size_t> credit_order(const graded& g);
std::vector<size_t> firm_ratio_order(const graded& g, const std::vector<double>& low,
                                     const std::vector<double>& high);
// Each test pair's confidence, the highest of the domain pairs it can form,
// and its basis, the one of these ranked first by confidence: 0 and -1 when
// it forms none, NaN and -1 when a protein has no domain.
void calc_confidence_test(const node_table& t, const pair_set& dint, const graded& g,
                          const pair_set& test, std::vector<double>& conf, std::vector<int>& basis);
// Whether a test pair of this confidence is predicted to interact.
bool predicted(double conf);
// Each test pair's rate score: the highest rate of the domain pairs it can
// form; 0 when it forms none, NaN when a protein has no domain.
void calc_rate_test(const node_table& t, const pair_set& dint, const graded& g,
                    const pair_set& test, std::vector<double>& score);
// The counts that the confidence must beat, for each test pair (NaN when
// a protein has no domain): the credit split, the sum over the domain pairs
// it can form of their observed pairs' credit, each observed pair giving
// one unit split equally over its domain pairs; and the support, the most
// observed pairs that form one of its domain pairs.
void calc_baselines(const node_table& t, const pair_set& dint, const graded& g,
                    const pair_set& test, std::vector<double>& credit,
                    std::vector<double>& support);
// What the answer tables show beside the confidence, each empty when it is
// not asked for: the family name of each domain, the ranges (by domain pair
// in the domain pairs' table, by test pair in the test pairs'), and which
// domain pairs the reference list names.
struct answer_extras {
  const std::vector<std::string>& names;
  const std::vector<double>& low;
  const std::vector<double>& high;
  const std::vector<char>& known;
};
// Every candidate domain pair by confidence, with its rank, names, observed
// and expected pairs, twins, credit, ranges and whether it is known.
void out_dgraded(FILE* f, const node_table& t, const pair_set& dint, const graded& g,
                 const answer_extras& x);
// Every test pair in its order with its confidence ("NA" when a protein has
// no domain), whether it is predicted, its basis domain pair and names, its
// ranges, its score and whether that comes from domain pairs.
void out_pgraded(FILE* f, const node_table& t, const pair_set& dint, const pair_set& test,
                 const std::vector<double>& conf, const std::vector<int>& basis,
                 const answer_extras& x);

// Whether test pair `p` cannot be scored: a protein has no domain.
inline bool no_domain(const node_table& t, const pair& p) {
  return t.prot[p.i].n == 0 || t.prot[p.j].n == 0;
}

}  // namespace domlp
