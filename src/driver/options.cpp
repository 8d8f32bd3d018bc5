// The command line: options (getopt_long), the arguments, the fraction list
// and the stems of the derived file names.
#include <getopt.h>
#include <sched.h>

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "driver.h"
#include "io/io.h"

namespace domlp {

namespace {

constexpr const char* kVersion = "domlp 1.3.0";
constexpr const char* kSpaces = " \t\n\r\f\v";

// The two forms of the command line, as the usage shows them.
constexpr const char* kSynopsis =
    "domlp [OPTIONS] OBSERVED_PAIRS DOMAINS TEST_PAIRS FRACTION[,FRACTION...]";
constexpr const char* kSynopsisCV =
    "domlp --cross-validate K [OPTIONS] OBSERVED_PAIRS DOMAINS FRACTION[,FRACTION...]";

// The options of the usage text, one or more lines each.
constexpr const char* kOptionLines =
    "  --solver NAME          glpsol (the default: GLPK's program, run on the LP file)\n"
    "                         or clp (COIN-OR CLP in memory, far faster on large inputs)\n"
    "  --jobs N               solves of a list or a cross-validation run at once\n"
    "                         (default: the number of cores this process may use)\n"
    "  --outdir DIR           write every derived file into DIR, an existing directory\n"
    "  --observed-format FMT  counted (the default), plain (no count line, '#' lines\n"
    "                         skipped) or mitab (PSI-MITAB 2.5 to 2.8)\n"
    "  --test-format FMT      the same for TEST_PAIRS\n"
    "  --id-db DB             mitab: name each protein by its first identifier of\n"
    "                         database DB (such as uniprotkb)\n"
    "  --taxid N              mitab: keep the interactions of two proteins of taxon N\n"
    "  --domain-format FMT    counted (the default) or by-protein (a protein and its\n"
    "                         domains a line)\n"
    "  --domain-columns P,D   by-protein: the protein in tab-separated column P, its\n"
    "                         domains in column D\n"
    "  --cross-validate K     hold out each of K folds of the observed pairs in turn,\n"
    "                         predict them with random pairs, and measure (no TEST_PAIRS)\n"
    "  --negatives R          cross-validation: random pairs per held-out pair (default 1)\n"
    "  --balanced-negatives   cross-validation: random pairs drawn with each protein as\n"
    "                         often as it is in the observed pairs, not uniformly\n"
    "  --seed S               cross-validation: seed of the folds and random pairs\n"
    "                         (default 1)\n"
    "  --ranges               each domain pair's lowest and highest value over all\n"
    "                         optimal solutions, and the bounds they give each test\n"
    "                         pair's score (.dranges, .pranges files)\n"
    "  --known FILE           a reference list of interacting domain pairs: how many\n"
    "                         of the inferred ones it names (.known file)\n"
    "  --domain-names FILE    the domains' family names, from Pfam-A.clans.tsv or a\n"
    "                         table of accession and name, in the answer tables\n"
    "  --graded               the answer: domain pairs ranked by confidence (chance\n"
    "                         ratio shared among twins) and test pairs by their best\n"
    "                         domain pair's, predicted above 2 (.dgraded, .pgraded)\n"
    "  --baselines            cross-validation: the confidence, two counts of the\n"
    "                         evidence and the rate of 1.3.0 measured beside the score\n"
    "  --verbose              with --solver clp, CLP's log on standard error\n"
    "  -h, --help             this text\n"
    "  --version              the version\n";

void usage(FILE* out) {
  std::fprintf(out, "usage: %s\n       %s\n", kSynopsis, kSynopsisCV);
  std::fprintf(out,
               "\n"
               "Infers the domain pairs that explain the observed protein pairs (a linear\n"
               "program) and predicts which test pairs interact.\n"
               "\n"
               "  OBSERVED_PAIRS  observed protein pairs: a count line, then two names a line\n"
               "  DOMAINS         domain table: a count line, then 'domain:protein protein ...'\n"
               "  TEST_PAIRS      protein pairs to score, in the observed-pairs format\n"
               "  FRACTION        share of the covered observed pairs allowed to go uncovered;\n"
               "                  a comma-separated list is solved fraction by fraction\n"
               "\n"
               "Options (before, between or after the arguments; '--' ends them, so that a file\n"
               "name beginning with '-' comes after it):\n");
  std::fputs(kOptionLines, out);
  std::fprintf(out,
               "\n"
               "Input files whose name ends in .gz are decompressed as they are read.\n"
               "Writes OBSERVED_PAIRS.TAG.lp (the linear program), OBSERVED_PAIRS.TAG.out\n"
               "(glpsol's report), OBSERVED_PAIRS.TAG.dint (the inferred domain pairs),\n"
               "TEST_PAIRS.TAG.pint (the predicted pairs) and TEST_PAIRS.TAG.scores (every\n"
               "test pair's score), TAG being FRACTION as \"%%f\" renders it; a cross-validation\n"
               "writes OBSERVED_PAIRS.TAG.cv (every held-out and random pair's score) and\n"
               "OBSERVED_PAIRS.cv.tsv (recall, precision and ROC area for each fraction).\n"
               "Exit status: 0 success, 1 failure, 2 bad command line, 128+N signal N.\n");
}

// An integer option value in [lo, hi], the whole text.
bool parse_int(const char* s, long long lo, long long hi, long long& v) {
  if (*s < '0' || *s > '9') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long long u = std::strtoull(s, &end, 10);
  if (errno != 0 || *end != '\0' || u > static_cast<unsigned long long>(hi)) return false;
  v = static_cast<long long>(u);
  return v >= lo;
}

int bad_value(const char* option, const char* value, const char* what) {
  std::fprintf(stderr, "%s '%s': %s\n", option, value, what);
  return 2;
}

// A fraction is a share: one outside [0, 1] is refused, the range given,
// and one up to 100 was most likely meant as a percentage. `in_list` names
// the list it is an element of. Returns 0, or 2 after printing why.
int check_range(const std::string& text, double d, const char* in_list) {
  const float frac = static_cast<float>(d);
  if (frac >= 0.0f && frac <= 1.0f) return 0;
  std::string list = in_list ? std::string(" in the list '") + in_list + "'" : "";
  std::fprintf(stderr,
               "fraction '%s'%s is outside [0, 1], the share of the covered observed pairs that "
               "may go uncovered",
               text.c_str(), list.c_str());
  if (d > 1.0 && d <= 100.0)
    std::fprintf(stderr, ": %.9g %% is written %.9g, not %.9g", d, d / 100, d);
  std::fputc('\n', stderr);
  return 2;
}

// One fraction: the whole text, blanks around it allowed, must be a finite
// number (in single precision). Returns 0, or 2 after printing why.
int parse_list_fraction(const std::string& s, const char* list, float& frac) {
  size_t a = s.find_first_not_of(kSpaces);
  if (a == std::string::npos) {
    std::fprintf(stderr, "empty fraction in the list '%s'\n", list);
    return 2;
  }
  std::string e = s.substr(a, s.find_last_not_of(kSpaces) + 1 - a);
  char* end = nullptr;
  double d = std::strtod(e.c_str(), &end);
  if (end == e.c_str() || *end != '\0') {
    std::fprintf(stderr, "fraction '%s' in the list '%s' is not a number\n", e.c_str(), list);
    return 2;
  }
  if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) {
    std::fprintf(stderr, "fraction '%s' is not a finite number\n", e.c_str());
    return 2;
  }
  frac = static_cast<float>(d);
  return check_range(e, d, list);
}

// FRACTION: a single value is taken as strtod takes it, with a warning when
// it is not wholly a number; a comma-separated list must hold whole numbers
// with distinct run tags. Every fraction is in [0, 1]. Returns 0, or 2
// after printing why.
int parse_fractions(const char* s, std::vector<float>& fracs) {
  if (!std::strchr(s, ',')) {
    char* end = nullptr;
    double d = std::strtod(s, &end);
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) {
      std::fprintf(stderr, "fraction '%s' is not a finite number\n", s);
      return 2;
    }
    if (check_range(s, d, nullptr)) return 2;
    fracs.push_back(static_cast<float>(d));
    const char* rest = end + std::strspn(end, kSpaces);
    if (end == s || *rest != '\0')
      std::fprintf(stderr, "warning: fraction '%s' is not %s number; using %s\n", s,
                   end == s ? "a" : "wholly a", format_f(fracs.back()).c_str());
    return 0;
  }
  std::vector<std::string> texts;
  for (const char* p = s;; ++p) {
    const char* comma = std::strchr(p, ',');
    texts.emplace_back(p, comma ? comma : p + std::strlen(p));
    float f = 0.0f;
    if (parse_list_fraction(texts.back(), s, f)) return 2;
    for (size_t x = 0; x < fracs.size(); ++x) {
      if (format_f(fracs[x]) != format_f(f)) continue;
      std::fprintf(stderr, "fractions '%s' and '%s' give the same run tag %s\n", texts[x].c_str(),
                   texts.back().c_str(), format_f(f).c_str());
      return 2;
    }
    fracs.push_back(f);
    if (!comma) return 0;
    p = comma;
  }
}

// The stem of the names derived from an input file: its name without
// ".gz", in the output directory when there is one.
std::string output_stem(const std::string& input, const std::string& outdir) {
  std::string s = input;
  if (s.ends_with(".gz")) s.resize(s.size() - 3);
  if (outdir.empty()) return s;
  return outdir + (outdir.ends_with('/') ? "" : "/") + s.substr(s.rfind('/') + 1);
}

int cores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::max(1, CPU_COUNT(&set));
}

enum option_id {
  opt_solver = 256,
  opt_jobs,
  opt_outdir,
  opt_observed_format,
  opt_test_format,
  opt_domain_format,
  opt_domain_columns,
  opt_id_db,
  opt_taxid,
  opt_cross_validate,
  opt_negatives,
  opt_balanced_negatives,
  opt_seed,
  opt_verbose,
  opt_ranges,
  opt_known,
  opt_domain_names,
  opt_graded,
  opt_baselines,
  opt_version,
};

const struct option kOptions[] = {
    {"solver", required_argument, nullptr, opt_solver},
    {"jobs", required_argument, nullptr, opt_jobs},
    {"outdir", required_argument, nullptr, opt_outdir},
    {"observed-format", required_argument, nullptr, opt_observed_format},
    {"test-format", required_argument, nullptr, opt_test_format},
    {"domain-format", required_argument, nullptr, opt_domain_format},
    {"domain-columns", required_argument, nullptr, opt_domain_columns},
    {"id-db", required_argument, nullptr, opt_id_db},
    {"taxid", required_argument, nullptr, opt_taxid},
    {"cross-validate", required_argument, nullptr, opt_cross_validate},
    {"negatives", required_argument, nullptr, opt_negatives},
    {"balanced-negatives", no_argument, nullptr, opt_balanced_negatives},
    {"seed", required_argument, nullptr, opt_seed},
    {"verbose", no_argument, nullptr, opt_verbose},
    {"ranges", no_argument, nullptr, opt_ranges},
    {"known", required_argument, nullptr, opt_known},
    {"domain-names", required_argument, nullptr, opt_domain_names},
    {"graded", no_argument, nullptr, opt_graded},
    {"baselines", no_argument, nullptr, opt_baselines},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, opt_version},
    {nullptr, 0, nullptr, 0},
};

// Whether a command-line element that begins with '-' is a number, or a
// comma-separated list whose first element is one (blanks after it
// allowed): a negative fraction, an argument rather than an option.
bool is_number(const char* s) {
  char* end = nullptr;
  std::strtod(s, &end);
  if (end == s) return false;
  end += std::strspn(end, kSpaces);
  return *end == '\0' || *end == ',';
}

// A format by its name, from `names` (in the order of the enum's values).
template <class Format>
int format_of(const char* option, const char* v, std::initializer_list<const char*> names,
              const char* hint, Format& f) {
  int x = 0;
  for (const char* name : names) {
    if (std::strcmp(v, name) == 0) {
      f = static_cast<Format>(x);
      return 0;
    }
    ++x;
  }
  return bad_value(option, v, hint);
}

int pair_format_of(const char* option, const char* v, pair_format& f) {
  return format_of(option, v, {"counted", "plain", "mitab"},
                   "unknown format: use counted, plain or mitab", f);
}

// "P,D": two different column numbers from 1.
int domain_columns_of(const char* v, input_options& in) {
  const char* comma = std::strchr(v, ',');
  long long p = 0, d = 0;
  if (!comma || !parse_int(std::string(v, comma).c_str(), 1, INT_MAX, p) ||
      !parse_int(comma + 1, 1, INT_MAX, d))
    return bad_value("--domain-columns", v, "not two column numbers P,D counted from 1");
  if (p == d)
    return bad_value("--domain-columns", v,
                     "the protein and its domains must be in different columns");
  in.protein_column = static_cast<int>(p);
  in.domain_column = static_cast<int>(d);
  return 0;
}

// An option whose value is a number. Returns -1, or the exit status.
int take_number(int id, const char* v, options& o) {
  long long n = 0;
  switch (id) {
    case opt_jobs:
      if (!parse_int(v, 1, 1024, n)) return bad_value("--jobs", v, "not a number from 1 to 1024");
      o.jobs = static_cast<int>(n);
      return -1;
    case opt_taxid:
      if (!parse_int(v + (*v == '-'), 0, LLONG_MAX, n))
        return bad_value("--taxid", v, "not a taxon number");
      o.in.taxid = v;
      return -1;
    case opt_cross_validate:
      if (!parse_int(v, 2, INT_MAX, n))
        return bad_value("--cross-validate", v, "not a number of folds from 2 to 2147483647");
      o.folds = static_cast<int>(n);
      return -1;
    case opt_negatives:
      if (!parse_int(v, 0, INT_MAX, n))
        return bad_value("--negatives", v, "not a whole number from 0 to 2147483647");
      o.negatives = static_cast<int>(n);
      return -1;
    case opt_seed: {
      char* end = nullptr;
      errno = 0;
      o.seed = std::strtoull(v, &end, 10);
      if (*v < '0' || *v > '9' || *end != '\0' || errno != 0)
        return bad_value("--seed", v, "not a whole number from 0 to 18446744073709551615");
      return -1;
    }
    default:
      return domain_columns_of(v, o.in) ? 2 : -1;
  }
}

// The options without a value.
constexpr std::pair<int, bool options::*> kFlags[] = {
    {opt_verbose, &options::verbose},
    {opt_ranges, &options::ranges},
    {opt_graded, &options::graded},
    {opt_baselines, &options::baselines},
    {opt_balanced_negatives, &options::balanced_negatives}};

// One option and its value. Returns -1, or the exit status.
int take_option(int id, const char* v, options& o) {
  switch (id) {
    case opt_solver:
      o.solver = v;
      o.solver_given = true;
      return -1;
    case opt_outdir:
      // An empty name would put the files beside their inputs unasked.
      if (!*v) return bad_value("--outdir", v, "empty directory name");
      o.outdir = v;
      return -1;
    case opt_observed_format:
      return pair_format_of("--observed-format", v, o.in.observed) ? 2 : -1;
    case opt_test_format:
      return pair_format_of("--test-format", v, o.in.test) ? 2 : -1;
    case opt_domain_format:
      return format_of("--domain-format", v, {"counted", "by-protein"},
                       "unknown format: use counted or by-protein", o.in.domains)
                 ? 2
                 : -1;
    case opt_id_db:
      if (!*v) return bad_value("--id-db", v, "empty database name");
      o.in.id_db = v;
      return -1;
    case opt_known:
      if (!*v) return bad_value("--known", v, "empty file name");
      o.known_file = v;
      return -1;
    case opt_domain_names:
      if (!*v) return bad_value("--domain-names", v, "empty file name");
      o.names_file = v;
      return -1;
    case 'h':
      usage(stdout);
      return 0;
    case opt_version:
      std::printf("%s\n", kVersion);
      return 0;
    default:
      for (auto [flag, field] : kFlags) {
        if (id != flag) continue;
        o.*field = true;
        return -1;
      }
      return take_number(id, v, o);
  }
}

// A bad command line: what was wrong, then the form of the command line
// asked for. Returns 2.
int usage_error(const std::string& what, const options& o) {
  std::fprintf(stderr, "%s\nusage: %s\nsee domlp --help\n", what.c_str(),
               o.folds > 0 ? kSynopsisCV : kSynopsis);
  return 2;
}

// What getopt_long refused in the element `arg`: '?' for an option unknown,
// ambiguous or given a value it does not take, ':' for one without its
// value. Returns 2.
int option_error(int id, const char* arg, const options& o) {
  if (id == ':') return usage_error(std::string("option '") + arg + "' needs a value", o);
  // getopt_long leaves in optopt the character of an unknown short option,
  // or the code of a long option given a value (-h is known as a short one).
  if (optopt != 0 && optopt != 'h' && optopt < opt_solver)
    return usage_error(std::string("unknown option '-") + static_cast<char>(optopt) + "'", o);
  if (optopt != 0)
    return usage_error("option '" + std::string(arg, std::strcspn(arg, "=")) + "' takes no value",
                       o);
  // An unknown long option that begins the names of several is ambiguous:
  // they are named.
  std::string name(arg, std::strcspn(arg, "=")), candidates;
  for (const struct option* x = kOptions; x->name && name.size() > 2; ++x)
    if (std::string_view(x->name).starts_with(name.substr(2)))
      candidates += std::string(candidates.empty() ? "" : ", ") + "--" + x->name;
  if (!candidates.empty()) return usage_error("ambiguous option '" + name + "': " + candidates, o);
  return usage_error(std::string("unknown option '") + arg + "'", o);
}

// Fewer arguments than the run asks for: the names of those missing. A
// number given last is the fraction, so that the ones before it are missing.
std::string missing(const std::vector<char*>& args, const options& o) {
  std::vector<std::string> names{"OBSERVED_PAIRS", "DOMAINS", "TEST_PAIRS", "FRACTION"};
  if (o.folds > 0) names.erase(names.begin() + 2);
  size_t from = args.size(), to = names.size();
  if (from > 0 && is_number(args.back())) --from, --to;
  std::string list = to - from > 1 ? "missing arguments" : "missing argument";
  for (size_t x = from; x < to; ++x) list += " " + names[x];
  return list;
}

// Options that apply to formats not in use. Returns -1, or 2 after saying so.
int check_combination(const options& o) {
  bool mitab =
      o.in.observed == pair_format::mitab || (o.folds == 0 && o.in.test == pair_format::mitab);
  if ((!o.in.id_db.empty() || !o.in.taxid.empty()) && !mitab) {
    std::fprintf(stderr, "--id-db and --taxid apply to mitab files only\n");
    return 2;
  }
  if (!o.known_file.empty() && o.folds > 0) {
    std::fprintf(stderr, "--known applies to a run with test pairs, not to --cross-validate\n");
    return 2;
  }
  if (!o.names_file.empty() && o.folds > 0) {
    std::fprintf(stderr,
                 "--domain-names applies to a run with test pairs, not to --cross-validate\n");
    return 2;
  }
  if (o.graded && o.folds > 0) {
    std::fprintf(stderr,
                 "--graded applies to a run with test pairs; with --cross-validate use "
                 "--baselines\n");
    return 2;
  }
  if (o.baselines && o.folds == 0) {
    std::fprintf(stderr, "--baselines applies to --cross-validate only\n");
    return 2;
  }
  if (o.balanced_negatives && o.folds == 0) {
    std::fprintf(stderr, "--balanced-negatives applies to --cross-validate only\n");
    return 2;
  }
  if (o.in.protein_column > 0 && o.in.domains != domain_format::by_protein) {
    std::fprintf(stderr, "--domain-columns applies to --domain-format by-protein only\n");
    return 2;
  }
  return -1;
}

// The arguments, once the options are read. Returns -1, or the exit status.
int take_arguments(const std::vector<char*>& args, options& o) {
  const size_t want = o.folds > 0 ? 3 : 4;
  if (args.size() < want) return usage_error(missing(args, o), o);
  if (o.folds > 0 && args.size() > want)
    return usage_error("too many arguments for --cross-validate, which takes no TEST_PAIRS: " +
                           std::to_string(args.size()) + " given",
                       o);
  if (o.solver != "glpsol" && o.solver != "clp") {
    std::fprintf(stderr, "unknown solver '%s': use glpsol or clp\n", o.solver.c_str());
    return 2;
  }
  if (int rc = check_combination(o); rc >= 0) return rc;
  o.obs_file = args[0];
  o.dom_file = args[1];
  if (o.folds == 0) o.test_file = args[2];
  if (parse_fractions(args[want - 1], o.fracs)) return 2;
  for (size_t x = want; x < args.size(); ++x)
    std::fprintf(stderr, "warning: ignoring extra argument '%s'\n", args[x]);
  o.obs_stem = output_stem(o.obs_file, o.outdir);
  o.test_stem = output_stem(o.test_file, o.outdir);
  return -1;
}

}  // namespace

int parse_args(int argc, char** argv, options& o) {
  o.jobs = cores();
  std::vector<char*> args;
  opterr = 0;
  // "-": getopt_long hands each argument over in place (as code 1), so that
  // options stand before, between or after the arguments whatever
  // POSIXLY_CORRECT says; ':' tells a missing value apart. '--' ends the
  // options; the elements after it are arguments.
  for (;;) {
    // A negative number is an argument, never an option: it is taken before
    // getopt_long would read it as short options. getopt_long is never in
    // the middle of an element here, since -h and every error end the loop.
    if (optind < argc && argv[optind][0] == '-' && is_number(argv[optind])) {
      args.push_back(argv[optind++]);
      continue;
    }
    int id = getopt_long(argc, argv, "-:h", kOptions, nullptr);
    if (id == -1) break;
    if (id == 1) {
      args.push_back(optarg);
    } else if (id == '?' || id == ':') {
      return option_error(id, argv[optind - 1], o);
    } else if (int rc = take_option(id, optarg, o); rc >= 0) {
      return rc;
    }
  }
  args.insert(args.end(), argv + optind, argv + argc);
  return take_arguments(args, o);
}

std::string derived_name(const std::string& stem, float frac, const char* ext) {
  return stem + "." + format_f(frac) + "." + ext;
}

}  // namespace domlp
