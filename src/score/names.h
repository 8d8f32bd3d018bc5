// How the result files write names; only the files of this directory
// include this header.
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "io/io.h"
#include "model/model.h"

namespace domlp {

// The two names of a protein pair, "name<TAB>name", byte for byte (a NUL
// inside a name included).
void put_names(FILE* f, const node_table& t, const pair& p);
// A domain name with a tab written as "\t" and a backslash as "\\", so that
// the columns of the file always hold.
void put_escaped(FILE* f, const std::string& name);
// The two names of a domain pair, escaped, tab-separated.
void put_domains(FILE* f, const node_table& t, const pair& dp);
// A domain name escaped as put_escaped writes it, appended to `out`.
void append_escaped(std::string& out, const std::string& name);

// A line of a table built in memory, its fields separated by tabs, and
// written whole: the answer tables have a line for each domain pair and
// test pair, and a call of stdio or printf for each field costs more there
// than the bytes.
class table_line {
 public:
  table_line& text(std::string_view s) { return field().append(s), *this; }
  table_line& name(const std::string& s) { return append_escaped(field(), s), *this; }
  table_line& g(double v) { return append_g(field(), v), *this; }
  table_line& count(long long v) {
    char text[24];
    return field().append(text, std::to_chars(text, text + sizeof text, v).ptr), *this;
  }
  // Ends the line and writes it; a write error stays on the stream.
  void put(FILE* f) {
    s_ += '\n';
    std::fwrite(s_.data(), 1, s_.size(), f);
    s_.clear();
  }

 private:
  std::string& field() {
    if (!s_.empty()) s_ += '\t';
    return s_;
  }
  std::string s_;
};

}  // namespace domlp
