// How the result files write names; only the files of this directory
// include this header.
#pragma once

#include <cstdio>
#include <string>

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

}  // namespace domlp
