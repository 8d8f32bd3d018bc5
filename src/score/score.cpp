// The test pairs' scores and bounds from the domain pairs' values and
// ranges, the writers of the result files, the reference list's counts and
// the measures of a cross-validation.
#include "score.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <tuple>

#include "io/io.h"
#include "names.h"

namespace domlp {

namespace {

// The sum, in list order, of value(k) for the domain pair k of every
// combination of a domain of a with a domain of b (repeats counted), capped
// at 1. Values are never negative, so once the sum reaches 1 the score is 1
// whatever follows.
template <class Value>
double capped_sum(const node_table& t, const pair_set& dint, int a, int b, Value value) {
  double sum = 0.0;
  for (int da : t.prot[a].member) {
    for (int db : t.prot[b].member) {
      int k = find_pair(dint, da, db);
      if (k >= 0) sum += value(k);
      if (sum >= 1.0) return 1.0;
    }
  }
  return sum;
}

// "%g" of a score or a domain pair's value. These are nearly all 0 or 1, and
// their files have a line for each test or domain pair: those go out
// without printf, the slowest part of writing such a line.
void put_g(FILE* f, double v) {
  if (v == 1.0 || (v == 0.0 && !std::signbit(v)))
    putc_unlocked(v == 1.0 ? '1' : '0', f);
  else
    std::fprintf(f, "%g", v);
}

}  // namespace

void put_names(FILE* f, const node_table& t, const pair& p) {
  // Byte by byte into the stream's buffer, without taking the stream's lock
  // (each file is written by one thread): with a call of fwrite or fputc
  // for each part, the calls cost more than the lines' bytes.
  const std::string& a = t.prot[p.i].name;
  const std::string& b = t.prot[p.j].name;
  for (char c : a) putc_unlocked(c, f);
  putc_unlocked('\t', f);
  for (char c : b) putc_unlocked(c, f);
}

void append_escaped(std::string& out, const std::string& name) {
  // Most names have nothing to escape: one pass says so.
  if (std::none_of(name.begin(), name.end(), [](char c) { return c == '\t' || c == '\\'; })) {
    out += name;
    return;
  }
  for (size_t at = 0; at < name.size();) {
    const size_t end = std::min(name.find_first_of("\t\\", at), name.size());
    out.append(name, at, end - at);
    if (end == name.size()) break;
    out.append(name[end] == '\t' ? "\\t" : "\\\\");
    at = end + 1;
  }
}

void put_escaped(FILE* f, const std::string& name) {
  // A name is written for every domain pair: most have nothing to escape
  // and go out as they are.
  if (name.find_first_of("\t\\") == std::string::npos) {
    std::fwrite(name.data(), 1, name.size(), f);
    return;
  }
  std::string escaped;
  append_escaped(escaped, name);
  std::fwrite(escaped.data(), 1, escaped.size(), f);
}

void put_domains(FILE* f, const node_table& t, const pair& dp) {
  put_escaped(f, t.dom[dp.i].name);
  std::fputc('\t', f);
  put_escaped(f, t.dom[dp.j].name);
}

void calc_prob_test(const node_table& t, const pair_set& dint, pair_set& test) {
  for (pair& tp : test.item)
    if (!no_domain(t, tp))
      tp.value = capped_sum(t, dint, tp.i, tp.j, [&](int k) { return dint.item[k].value; });
}

void calc_range_test(const node_table& t, const pair_set& dint, const std::vector<double>& low,
                     const std::vector<double>& high, const pair_set& test,
                     std::vector<double>& test_low, std::vector<double>& test_high) {
  // The ranges are exact to 1e-9, so that their sums are not: three thirds
  // make 0.999999999. A sum within 1e-6 of 1 reaches it.
  auto bound = [&](int a, int b, const std::vector<double>& v) {
    double sum = capped_sum(t, dint, a, b, [&](int k) { return v[k]; });
    return sum > 1.0 - 1e-6 ? 1.0 : sum;
  };
  test_low.assign(test.item.size(), 1.0);
  test_high.assign(test.item.size(), 1.0);
  for (size_t x = 0; x < test.item.size(); ++x) {
    const pair& tp = test.item[x];
    if (no_domain(t, tp)) continue;
    test_low[x] = bound(tp.i, tp.j, low);
    test_high[x] = bound(tp.i, tp.j, high);
  }
}

pair_class classify(bool no_domain, double low, double high) {
  if (no_domain) return pair_class::no_domain;
  return low >= 1.0 ? pair_class::firm : high >= 1.0 ? pair_class::tied : pair_class::none;
}

const char* class_name(pair_class c) {
  switch (c) {
    case pair_class::firm:
      return "firm";
    case pair_class::tied:
      return "tied";
    case pair_class::no_domain:
      return "no-domain";
    default:
      return "none";
  }
}

void out_pint(FILE* f, const node_table& t, const pair_set& test) {
  for (const pair& tp : test.item) {
    if (!(tp.value >= 1.0)) continue;
    put_names(f, t, tp);
    putc_unlocked('\n', f);
  }
}

namespace {

// The number of covering rows (observed pairs) that list each domain pair.
std::vector<int> observed_pairs(const pair_set& dint, const lp_rows& rows) {
  std::vector<int> observed(dint.item.size(), 0);
  for (int d : rows.term) ++observed[d];
  return observed;
}

}  // namespace

void out_dint(FILE* f, const node_table& t, const pair_set& dint, const lp_rows& rows) {
  const std::vector<int> observed = observed_pairs(dint, rows);
  std::vector<size_t> order(dint.item.size());
  std::iota(order.begin(), order.end(), 0);
  std::erase_if(order, [&](size_t k) { return !(dint.item[k].value > 0.0); });
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return dint.item[x].value > dint.item[y].value; });
  std::fputs("#domain_a\tdomain_b\tvalue\tobserved_pairs\n", f);
  for (size_t k : order) {
    put_domains(f, t, dint.item[k]);
    std::fputc('\t', f);
    put_g(f, dint.item[k].value);
    std::fprintf(f, "\t%d\n", observed[k]);
  }
}

namespace {

// The domain pairs that some optimal solution uses: firm pairs first, by
// their lowest value, then tied ones by their highest; the pairs that more
// observed pairs form go first among equals.
std::vector<size_t> ranges_order(const std::vector<double>& low, const std::vector<double>& high,
                                 const std::vector<int>& observed) {
  std::vector<size_t> order(low.size());
  std::iota(order.begin(), order.end(), 0);
  std::erase_if(order,
                [&](size_t k) { return class_of(low[k], high[k]) == range_class::excluded; });
  auto key = [&](size_t k) {
    const bool firm = class_of(low[k], high[k]) == range_class::firm;
    return std::make_tuple(firm, firm ? low[k] : high[k], observed[k]);
  };
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return key(x) > key(y); });
  return order;
}

}  // namespace

void out_dranges(FILE* f, const node_table& t, const pair_set& dint, const lp_rows& rows,
                 const std::vector<double>& low, const std::vector<double>& high,
                 const std::vector<char>& known) {
  const std::vector<int> observed = observed_pairs(dint, rows);
  const std::vector<size_t> order = ranges_order(low, high, observed);
  std::fputs("#domain_a\tdomain_b\tclass\tlow\thigh\tvalue\tobserved_pairs", f);
  std::fputs(known.empty() ? "\n" : "\tknown\n", f);
  for (size_t k : order) {
    put_domains(f, t, dint.item[k]);
    const bool firm = class_of(low[k], high[k]) == range_class::firm;
    std::fprintf(f, "\t%s\t%g\t%g\t%g\t%d", firm ? "firm" : "tied", low[k], high[k],
                 dint.item[k].value, observed[k]);
    if (!known.empty()) std::fputs(known[k] ? "\t1" : "\t0", f);
    std::fputc('\n', f);
  }
}

void out_pranges(FILE* f, const node_table& t, const pair_set& test, const std::vector<double>& low,
                 const std::vector<double>& high) {
  std::fputs("#protein_a\tprotein_b\tclass\tlow\thigh\n", f);
  for (size_t x = 0; x < test.item.size(); ++x) {
    const pair& tp = test.item[x];
    put_names(f, t, tp);
    std::fprintf(f, "\t%s\t%g\t%g\n", class_name(classify(no_domain(t, tp), low[x], high[x])),
                 low[x], high[x]);
  }
}

std::vector<char> mark_known(const node_table& t, const pair_set& dint, const known_pairs& k) {
  std::vector<char> known(dint.item.size());
  for (size_t x = 0; x < dint.item.size(); ++x)
    known[x] = k.key.contains(known_key(t.dom[dint.item[x].i].name, t.dom[dint.item[x].j].name));
  return known;
}

void out_known(FILE* f, const pair_set& dint, const std::vector<char>& known,
               const std::vector<double>& low, const std::vector<double>& high, const graded* g) {
  struct row {
    std::string set;
    long pairs = 0, known = 0;
  };
  std::vector<row> rows{{"candidates"}, {"returned"}};
  if (!low.empty()) rows.insert(rows.end(), {{"firm"}, {"tied"}});
  for (size_t k = 0; k < dint.item.size(); ++k) {
    auto count = [&](row& r) { ++r.pairs, r.known += known[k]; };
    count(rows[0]);
    if (dint.item[k].value > 0.0) count(rows[1]);
    if (low.empty()) continue;
    range_class c = class_of(low[k], high[k]);
    if (c != range_class::excluded) count(rows[c == range_class::firm ? 2 : 3]);
  }
  if (g) {
    // The first domain pairs of each ranking: by confidence, by support, by
    // credit and, with ranges, firm pairs first as the ranges' file ranks
    // them, and firm pairs first, then by chance ratio.
    std::vector<std::pair<std::string, std::vector<size_t>>> rankings = {
        {"graded", g->order}, {"support", support_order(*g)}, {"credit", credit_order(*g)}};
    if (!low.empty()) {
      std::vector<int> observed;
      for (const pair_grade& x : g->of) observed.push_back(static_cast<int>(x.observed));
      rankings.emplace_back("firm", ranges_order(low, high, observed));
      rankings.emplace_back("firm_graded", firm_ratio_order(*g, low, high));
    }
    for (const auto& [name, order] : rankings) {
      for (size_t depth : {250, 500, 1000, 2000, 4000}) {
        row& r = rows.emplace_back(row{name + "_top" + std::to_string(depth)});
        for (size_t x = 0; x < std::min(depth, order.size()); ++x)
          ++r.pairs, r.known += known[order[x]];
      }
    }
  }
  std::fputs("#set\tpairs\tknown\tshare\tenrichment\n", f);
  const double base = rows[0].pairs ? static_cast<double>(rows[0].known) / rows[0].pairs : 0.0;
  for (const row& r : rows) {
    std::fprintf(f, "%s\t%ld\t%ld", r.set.c_str(), r.pairs, r.known);
    if (r.pairs == 0) {
      std::fputs("\tNA\tNA\n", f);
      continue;
    }
    const double share = static_cast<double>(r.known) / r.pairs;
    std::fprintf(f, "\t%.4f", share);
    if (base > 0.0)
      std::fprintf(f, "\t%.2f\n", share / base);
    else
      std::fputs("\tNA\n", f);
  }
}

void out_scores(FILE* f, const node_table& t, const pair_set& test) {
  std::fputs("#protein_a\tprotein_b\tscore\tbasis\n", f);
  for (const pair& tp : test.item) {
    put_names(f, t, tp);
    putc_unlocked('\t', f);
    put_g(f, tp.value);
    fputs_unlocked(no_domain(t, tp) ? "\tno-domain\n" : "\tdomains\n", f);
  }
}

namespace {

// The share of positive-negative pairs in which the positive scores higher,
// ties counted half, over the pairs with domains on both sides when
// `domains`; NaN without both kinds. Each run of equal scores, in
// increasing order, beats every negative below it.
double roc_area(const std::vector<cv_pair>& pairs, const std::vector<double>& scores,
                bool domains) {
  std::vector<size_t> order;
  for (size_t k = 0; k < pairs.size(); ++k)
    if (!domains || !pairs[k].no_domain) order.push_back(k);
  std::sort(order.begin(), order.end(), [&](size_t x, size_t y) { return scores[x] < scores[y]; });
  double wins = 0.0;
  long below = 0, positives = 0;
  for (size_t a = 0, b = 0; a < order.size(); a = b) {
    long pos = 0, neg = 0;
    for (b = a; b < order.size() && scores[order[b]] == scores[order[a]]; ++b)
      (pairs[order[b]].positive ? pos : neg) += 1;
    wins += pos * (below + 0.5 * neg);
    below += neg;
    positives += pos;
  }
  return positives > 0 && below > 0
             ? wins / (static_cast<double>(positives) * static_cast<double>(below))
             : NAN;
}

}  // namespace

cv_summary summarize_cv(const std::vector<cv_pair>& pairs, const cv_scores& sc) {
  cv_summary s;
  for (size_t k = 0; k < pairs.size(); ++k) {
    if (!sc.cls.empty() && sc.cls[k] == static_cast<char>(pair_class::firm)) {
      ++s.firm_predicted;
      s.firm_true += pairs[k].positive;
    }
    bool predicted = sc.score[k] >= 1.0, evidence = predicted && !pairs[k].no_domain;
    (pairs[k].positive ? s.positives : s.negatives) += 1;
    s.predicted += predicted;
    s.evidence_predicted += evidence;
    s.true_predicted += predicted && pairs[k].positive;
    s.evidence_true += evidence && pairs[k].positive;
  }
  s.auc = roc_area(pairs, sc.score, false);
  if (!sc.graded.empty()) {
    // Of the scores as the .cv file writes them, so that the areas can be
    // found again from the file: a sum of credit may differ in its last
    // bits from an equal one summed in another order.
    auto as_written = [](std::vector<double> v) {
      char text[32];
      for (double& x : v) {
        std::snprintf(text, sizeof text, "%g", x);
        x = std::strtod(text, nullptr);
      }
      return v;
    };
    s.evidence_auc = roc_area(pairs, as_written(sc.score), true);
    s.graded_auc = roc_area(pairs, as_written(sc.graded), true);
    s.credit_auc = roc_area(pairs, as_written(sc.credit), true);
    s.support_auc = roc_area(pairs, as_written(sc.support), true);
    s.rate_auc = roc_area(pairs, as_written(sc.rate), true);
  }
  return s;
}

void out_cv_start(FILE* f, cv_columns c) {
  std::fputs("#fold\tprotein_a\tprotein_b\tlabel\tscore\tbasis", f);
  if (c.ranges) std::fputs("\tclass", f);
  if (c.baselines) std::fputs("\tgraded\tcredit\tsupport\trate", f);
  std::fputc('\n', f);
}

namespace {

// A value as "%g", or "NA" when it is not a number.
void put_value(FILE* f, double v) {
  if (std::isnan(v))
    std::fputs("\tNA", f);
  else
    std::fprintf(f, "\t%g", v);
}

}  // namespace

void out_cv(FILE* f, const node_table& t, std::span<const cv_pair> pairs, const cv_scores& s,
            size_t from) {
  // A cross-validation writes millions of these lines, nearly all with a
  // score of 0 or 1: those go out without printf, whose parsing of the
  // format was a large share of the time of the process that writes them.
  char num[32];
  for (size_t k = 0; k < pairs.size(); ++k) {
    const cv_pair& p = pairs[k];
    const double v = s.score[from + k];
    char* end = std::to_chars(num, num + sizeof num, p.fold).ptr;
    std::fwrite(num, 1, static_cast<size_t>(end - num), f);
    std::fputc('\t', f);
    put_names(f, t, pair{p.i, p.j});
    std::fputs(p.positive ? "\t1\t" : "\t0\t", f);
    put_g(f, v);
    std::fputs(p.no_domain ? "\tno-domain" : "\tdomains", f);
    if (!s.cls.empty()) {
      std::fputc('\t', f);
      std::fputs(class_name(static_cast<pair_class>(s.cls[from + k])), f);
    }
    if (!s.graded.empty()) {
      put_value(f, s.graded[from + k]);
      put_value(f, s.credit[from + k]);
      put_value(f, s.support[from + k]);
      put_value(f, s.rate[from + k]);
    }
    std::fputc('\n', f);
  }
}

void out_cv_header(FILE* f, cv_columns c) {
  std::fputs(
      "#fraction\tpositives\tnegatives\tpredicted\ttrue_predicted\trecall\tprecision\tauc\t"
      "evidence_predicted\tevidence_recall\tevidence_precision",
      f);
  if (c.ranges) std::fputs("\tfirm_predicted\tfirm_true_predicted\tfirm_recall\tfirm_precision", f);
  if (c.baselines) std::fputs("\tevidence_auc\tgraded_auc\tcredit_auc\tsupport_auc\trate_auc", f);
  std::fputc('\n', f);
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

void out_cv_line(FILE* f, float frac, const cv_summary& s, cv_columns c) {
  std::fprintf(f, "%s\t%ld\t%ld\t%ld\t%ld", format_f(frac).c_str(), s.positives, s.negatives,
               s.predicted, s.true_predicted);
  put_ratio(f, s.true_predicted, s.positives);
  put_ratio(f, s.true_predicted, s.predicted);
  put_ratio(f, s.auc, std::isnan(s.auc) ? 0.0 : 1.0);
  std::fprintf(f, "\t%ld", s.evidence_predicted);
  put_ratio(f, s.evidence_true, s.positives);
  put_ratio(f, s.evidence_true, s.evidence_predicted);
  if (c.ranges) {
    std::fprintf(f, "\t%ld\t%ld", s.firm_predicted, s.firm_true);
    put_ratio(f, s.firm_true, s.positives);
    put_ratio(f, s.firm_true, s.firm_predicted);
  }
  if (c.baselines)
    for (double auc : {s.evidence_auc, s.graded_auc, s.credit_auc, s.support_auc, s.rate_auc})
      put_ratio(f, auc, std::isnan(auc) ? 0.0 : 1.0);
  std::fputc('\n', f);
}

}  // namespace domlp
