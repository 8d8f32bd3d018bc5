// The program's entry point: everything is domlp_main's.
#include "driver.h"

int main(int argc, char** argv) {
  return domlp::domlp_main(argc, argv);
}
