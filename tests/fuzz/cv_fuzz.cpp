// Fuzz target: the measures of a cross-validation against their definitions
// worked out the slow way, every positive compared with every negative, and
// the lines of the .cv file against printf's. Two bytes make a scored pair:
// its label and basis, and a score of few values, so that ties are common,
// and its class; an odd first byte leaves the classes out, a first byte
// below 128 the baselines, whose scores the same bytes make otherwise.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz.h"
#include "score/score.h"

using namespace domlp;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<cv_pair> pairs;
  cv_scores sc;
  std::vector<double>& scores = sc.score;
  std::vector<char>& classes = sc.cls;
  const bool ranges = size > 0 && data[0] % 2 == 0;
  const bool baselines = size > 0 && data[0] >= 128;
  for (size_t k = 0; k + 1 < size && pairs.size() < 300; k += 2) {
    pairs.push_back(cv_pair{1 + data[k] / 4 % 12, 0, 0, (data[k] & 1) != 0, (data[k] & 2) != 0});
    scores.push_back(data[k + 1] == 255 ? -0.0 : data[k + 1] % 6 * 0.25);
    if (ranges) classes.push_back(static_cast<char>(data[k + 1] / 64));
    if (baselines) {
      const bool none = pairs.back().no_domain;
      sc.graded.push_back(none ? NAN : data[k + 1] % 5 * 0.01);
      sc.credit.push_back(none ? NAN : data[k + 1] % 7 / 3.0);
      sc.support.push_back(none ? NAN : data[k + 1] / 32);
      sc.rate.push_back(none ? NAN : data[k + 1] % 3 * 1e-7);
    }
  }
  cv_summary s = summarize_cv(pairs, sc);
  long pos = 0, neg = 0, predicted = 0, hits = 0, evidence = 0, evidence_hits = 0, firm = 0,
       firm_hits = 0;
  double wins = 0.0;
  for (size_t a = 0; a < pairs.size(); ++a) {
    bool p = pairs[a].positive, taken = scores[a] >= 1.0;
    (p ? pos : neg) += 1;
    predicted += taken;
    hits += taken && p;
    evidence += taken && !pairs[a].no_domain;
    evidence_hits += taken && p && !pairs[a].no_domain;
    const bool is_firm = ranges && classes[a] == static_cast<char>(pair_class::firm);
    firm += is_firm;
    firm_hits += is_firm && p;
    for (size_t b = 0; p && b < pairs.size(); ++b)
      if (!pairs[b].positive)
        wins += scores[a] > scores[b] ? 1.0 : scores[a] == scores[b] ? 0.5 : 0.0;
  }
  FUZZ_CHECK(s.positives == pos && s.negatives == neg && s.predicted == predicted);
  FUZZ_CHECK(s.true_predicted == hits && s.evidence_predicted == evidence &&
             s.evidence_true == evidence_hits);
  FUZZ_CHECK(s.firm_predicted == firm && s.firm_true == firm_hits);
  double auc = pos > 0 && neg > 0 ? wins / (static_cast<double>(pos) * neg) : NAN;
  FUZZ_CHECK(std::isnan(auc) ? std::isnan(s.auc) : std::fabs(s.auc - auc) < 1e-12);
  // The ROC area of a score over the pairs with domains on both sides.
  auto evidence_auc = [&](const std::vector<double>& v) {
    double w = 0.0, p = 0.0, n = 0.0;
    for (size_t a = 0; a < pairs.size(); ++a) {
      if (pairs[a].no_domain) continue;
      (pairs[a].positive ? p : n) += 1;
      for (size_t b = 0; pairs[a].positive && b < pairs.size(); ++b)
        if (!pairs[b].positive && !pairs[b].no_domain)
          w += v[a] > v[b] ? 1.0 : v[a] == v[b] ? 0.5 : 0.0;
    }
    return p > 0 && n > 0 ? w / (p * n) : NAN;
  };
  auto same = [](double x, double y) {
    return std::isnan(x) ? std::isnan(y) : std::fabs(x - y) < 1e-12;
  };
  if (baselines) {
    FUZZ_CHECK(same(s.evidence_auc, evidence_auc(scores)));
    FUZZ_CHECK(same(s.graded_auc, evidence_auc(sc.graded)));
    FUZZ_CHECK(same(s.credit_auc, evidence_auc(sc.credit)));
    FUZZ_CHECK(same(s.support_auc, evidence_auc(sc.support)));
    FUZZ_CHECK(same(s.rate_auc, evidence_auc(sc.rate)));
  } else {
    FUZZ_CHECK(std::isnan(s.evidence_auc) && std::isnan(s.graded_auc) && std::isnan(s.rate_auc));
  }

  node_table t;
  t.prot.emplace_back().name = "P1";
  char* text = nullptr;
  size_t len = 0;
  FILE* f = open_memstream(&text, &len);
  FUZZ_CHECK(f);
  out_cv(f, t, pairs, sc, 0);
  std::fclose(f);
  std::string want;
  for (size_t k = 0; k < pairs.size(); ++k) {
    char line[100];
    std::snprintf(line, sizeof line, "%d\tP1\tP1\t%d\t%g\t%s", pairs[k].fold,
                  pairs[k].positive ? 1 : 0, scores[k],
                  pairs[k].no_domain ? "no-domain" : "domains");
    want += line;
    if (ranges) want += std::string("\t") + class_name(static_cast<pair_class>(classes[k]));
    if (baselines)
      for (double v : {sc.graded[k], sc.credit[k], sc.support[k], sc.rate[k]}) {
        std::snprintf(line, sizeof line, std::isnan(v) ? "\tNA" : "\t%g", v);
        want += line;
      }
    want += '\n';
  }
  FUZZ_CHECK(std::string(text, len) == want);
  std::free(text);
  return 0;
}
