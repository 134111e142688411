#include "cli.h"

int main(int argc, char** argv) {
  return stdlookup::cli::run(argc, argv);
}
