#include "score.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

#include "io/io.h"

namespace domlp {

namespace {

// The sum, in list order, of the values of every combination of a domain of
// a with a domain of b (repeats counted), capped at 1. Values are never
// negative, so once the sum reaches 1 the score is 1 whatever follows.
double score(const node_table& t, const pair_set& dint, int a, int b) {
  double sum = 0.0;
  for (int da : t.prot[a].member) {
    for (int db : t.prot[b].member) {
      int k = find_pair(dint, da, db);
      if (k >= 0 && dint.item[k].obs == 1) sum += dint.item[k].prob;
      if (sum >= 1.0) return 1.0;
    }
  }
  return sum;
}

// The two names of a protein pair, "name<TAB>name", byte for byte (a NUL
// inside a name included).
void put_names(FILE* f, const node_table& t, const pair& p) {
  const std::string& a = t.prot[p.i].name;
  const std::string& b = t.prot[p.j].name;
  std::fwrite(a.data(), 1, a.size(), f);
  std::fputc('\t', f);
  std::fwrite(b.data(), 1, b.size(), f);
}

// A domain name with a tab written as "\t" and a backslash as "\\", so that
// the columns of the file always hold.
void put_escaped(FILE* f, const std::string& name) {
  for (char c : name) {
    if (c == '\t' || c == '\\') std::fputc('\\', f);
    std::fputc(c == '\t' ? 't' : c, f);
  }
}

}  // namespace

void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test) {
  for (pair& tp : test.item)
    if (!no_domain(t, tp)) tp.prob = score(t, dint, tp.i, tp.j);
}

void out_pint(FILE* f, const node_table& t, const pair_set& test) {
  for (const pair& tp : test.item) {
    if (!(tp.prob >= 1.0)) continue;
    put_names(f, t, tp);
    std::fputc('\n', f);
  }
}

void out_dint(FILE* f, const node_table& t, const pair_set& dint, const lp_rows& rows) {
  std::vector<int> observed(dint.item.size(), 0);
  for (int d : rows.term) ++observed[d];
  std::vector<size_t> order(dint.item.size());
  std::iota(order.begin(), order.end(), 0);
  std::erase_if(order, [&](size_t k) { return !(dint.item[k].prob > 0.0); });
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return dint.item[x].prob > dint.item[y].prob; });
  std::fputs("#domain_a\tdomain_b\tvalue\tobserved_pairs\n", f);
  for (size_t k : order) {
    put_escaped(f, t.dom[dint.item[k].i].name);
    std::fputc('\t', f);
    put_escaped(f, t.dom[dint.item[k].j].name);
    std::fprintf(f, "\t%g\t%d\n", dint.item[k].prob, observed[k]);
  }
}

void out_scores(FILE* f, const node_table& t, const pair_set& test) {
  std::fputs("#protein_a\tprotein_b\tscore\tbasis\n", f);
  for (const pair& tp : test.item) {
    put_names(f, t, tp);
    std::fprintf(f, "\t%g\t%s\n", tp.prob, no_domain(t, tp) ? "no-domain" : "domains");
  }
}

cv_summary summarize_cv(const std::vector<cv_pair>& pairs, const std::vector<double>& scores) {
  cv_summary s;
  for (size_t k = 0; k < pairs.size(); ++k) {
    bool predicted = scores[k] >= 1.0, evidence = predicted && !pairs[k].no_domain;
    (pairs[k].positive ? s.positives : s.negatives) += 1;
    s.predicted += predicted;
    s.evidence_predicted += evidence;
    s.true_predicted += predicted && pairs[k].positive;
    s.evidence_true += evidence && pairs[k].positive;
  }
  // The share of positive-negative pairs in which the positive scores
  // higher, ties counted half: each run of equal scores, in increasing
  // order, beats every negative below it.
  std::vector<size_t> order(pairs.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return scores[x] < scores[y]; });
  double wins = 0.0;
  long below = 0;
  for (size_t a = 0, b = 0; a < order.size(); a = b) {
    long pos = 0, neg = 0;
    for (b = a; b < order.size() && scores[order[b]] == scores[order[a]]; ++b)
      (pairs[order[b]].positive ? pos : neg) += 1;
    wins += pos * (below + 0.5 * neg);
    below += neg;
  }
  s.auc = s.positives > 0 && s.negatives > 0
              ? wins / (static_cast<double>(s.positives) * static_cast<double>(s.negatives))
              : NAN;
  return s;
}

void out_cv_start(FILE* f) {
  std::fputs("#fold\tprotein_a\tprotein_b\tlabel\tscore\tbasis\n", f);
}

void out_cv(FILE* f, const node_table& t, std::span<const cv_pair> pairs,
            std::span<const double> scores) {
  // A cross-validation writes millions of these lines, nearly all with a
  // score of 0 or 1: those go out without printf, which took a seventh of
  // the CPU time of the process that writes them and 5% of a
  // cross-validation of 100 000 pairs with two jobs.
  char num[32];
  for (size_t k = 0; k < pairs.size(); ++k) {
    const cv_pair& p = pairs[k];
    const double v = scores[k];
    char* end = std::to_chars(num, num + sizeof num, p.fold).ptr;
    std::fwrite(num, 1, static_cast<size_t>(end - num), f);
    std::fputc('\t', f);
    put_names(f, t, pair{p.i, p.j, 0.0, 0});
    std::fputs(p.positive ? "\t1\t" : "\t0\t", f);
    if (v == 1.0 || (v == 0.0 && !std::signbit(v)))
      std::fputc(v == 1.0 ? '1' : '0', f);
    else
      std::fprintf(f, "%g", v);
    std::fputs(p.no_domain ? "\tno-domain\n" : "\tdomains\n", f);
  }
}

void out_cv_header(FILE* f) {
  std::fputs(
      "#fraction\tpositives\tnegatives\tpredicted\ttrue_predicted\trecall\tprecision\tauc\t"
      "evidence_predicted\tevidence_recall\tevidence_precision\n",
      f);
}

namespace {

// A ratio as "%.4f", or "NA" when its denominator is 0.
void put_ratio(FILE* f, double num, double den) {
  if (den == 0.0)
    std::fputs("\tNA", f);
  else
    std::fprintf(f, "\t%.4f", num / den);
}

}  // namespace

void out_cv_line(FILE* f, float frac, const cv_summary& s) {
  std::fprintf(f, "%s\t%ld\t%ld\t%ld\t%ld", format_f(frac).c_str(), s.positives, s.negatives,
               s.predicted, s.true_predicted);
  put_ratio(f, s.true_predicted, s.positives);
  put_ratio(f, s.true_predicted, s.predicted);
  put_ratio(f, s.auc, std::isnan(s.auc) ? 0.0 : 1.0);
  std::fprintf(f, "\t%ld", s.evidence_predicted);
  put_ratio(f, s.evidence_true, s.positives);
  put_ratio(f, s.evidence_true, s.evidence_predicted);
  std::fputc('\n', f);
}

}  // namespace domlp
