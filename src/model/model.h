// Records and tables shared by every step of a run: proteins and domains
// (nodes), protein pairs and domain pairs.
#pragma once

#include <algorithm>
#include <boost/unordered/unordered_flat_map.hpp>
#include <boost/unordered/unordered_flat_set.hpp>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace domlp {

// One protein or one domain.
struct node {
  std::string name;
  int n = 0;                // proteins: linked domains; domains: kept proteins
  std::vector<int> member;  // proteins: domain indices (non-decreasing);
                            // domains: protein indices
};

// The hash map of every table: Boost's open-addressing flat map, which keeps
// its entries in one array. Measured on a run of a million observed and a
// million test pairs with a stand-in solver, the whole run took 2.0-2.3 s
// with it and 3.1-3.4 s with std::unordered_map, whose entries are nodes
// scattered over the heap.
template <class Key, class Value, class... Rest>
using hash_map = boost::unordered_flat_map<Key, Value, Rest...>;

// Hash of a name, usable with a string_view key as well as a string one.
struct name_hash {
  using is_transparent = void;
  size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

struct node_table {
  std::vector<node> prot;
  std::vector<node> dom;
  int nprot = 0;
  int ndom = 0;
  // Protein name to index; a name keeps the index it was first given.
  hash_map<std::string, int, name_hash, std::equal_to<>> prot_index;
  // The last protein name of the domain table that neither pair file has
  // (empty when there is none), to show when no protein has a domain.
  std::string unmatched_name;
};

// Index of the protein named `name`, or -1.
inline int find_prot(const node_table& t, std::string_view name) {
  auto it = t.prot_index.find(name);
  return it == t.prot_index.end() ? -1 : it->second;
}

// Index of the protein named `name`, appending a new node when there is none.
inline int add_prot(node_table& t, std::string_view name) {
  int q = find_prot(t, name);
  if (q >= 0) return q;
  q = static_cast<int>(t.prot.size());
  t.prot_index.emplace(name, q);
  t.prot.emplace_back().name = name;
  return q;
}

// Key of an unordered pair of node indices.
inline uint64_t pair_key(int a, int b) {
  if (a > b) std::swap(a, b);
  return static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32 | static_cast<uint32_t>(b);
}

struct pair {
  int i = 0;
  int j = 0;
  // A domain pair's value in the solution, in [0, 1]; a test pair's score.
  double value = 0.0;
};

struct pair_set {
  std::vector<pair> item;
  int n = 0;
  // Unordered pair of node indices (pair_key) to pair position.
  hash_map<uint64_t, int> index;
};

// Position of the pair of nodes a and b in `s`, or -1.
inline int find_pair(const pair_set& s, int a, int b) {
  auto it = s.index.find(pair_key(a, b));
  return it == s.index.end() ? -1 : it->second;
}

// Domain pairs that a reference list names as interacting: each unordered
// pair of names a key (known_key), Pfam accessions without their version.
struct known_pairs {
  boost::unordered_flat_set<std::string> key;
};

// A domain name as the reference list is matched: "PF00069.22" is "PF00069".
inline std::string_view known_name(std::string_view s) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (s.size() > 8 && s.starts_with("PF") && s[7] == '.' &&
      std::all_of(s.begin() + 2, s.begin() + 7, digit) &&
      std::all_of(s.begin() + 8, s.end(), digit))
    return s.substr(0, 7);
  return s;
}

// The key of the unordered pair of domain names a and b: the two names, the
// lesser first, each after its length, so that any byte may be in a name.
inline std::string known_key(std::string_view a, std::string_view b) {
  a = known_name(a);
  b = known_name(b);
  if (b < a) std::swap(a, b);
  std::string k = std::to_string(a.size()) + ':';
  k.append(a).append(b);
  return k;
}

}  // namespace domlp
