#include "cli.h"

int main(int argc, char** argv) {
  return stdlookup::cli::run_to_the_end(argc, argv);
}
