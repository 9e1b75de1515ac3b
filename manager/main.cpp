// vorak-manager: referees Vorak games over the server's protocol, for playing and testing the
// bot on any machine.
#include <iostream>
#include <string>
#include <vector>

#include "manager/duel.h"
#include "manager/merge.h"
#include "manager/options.h"
#include "manager/series.h"

int main(int argc, char** argv) {
  std::vector<std::string> const args(argv + 1, argv + argc);
  manager::ParsedOptions const parsed = manager::parse_options(args);
  if (parsed.status == manager::ParsedOptions::HELP) {
    std::cout << manager::help_text();
    return 0;
  }
  if (parsed.status == manager::ParsedOptions::VERSION) {
    std::cout << manager::version_text() << "\n";
    return 0;
  }
  if (parsed.status == manager::ParsedOptions::ELO) {
    std::cout << manager::tally_text(parsed.tally) << "\n";
    return 0;
  }
  if (parsed.status == manager::ParsedOptions::MERGE) {
    manager::Options const& o = parsed.options;
    return manager::run_merge(o.merge, o.sprt, o.record_file, std::cout, std::cerr);
  }
  if (parsed.status == manager::ParsedOptions::ERROR) {
    std::cerr << "vorak-manager: " << parsed.message << "\n"
              << "Try 'vorak-manager --help' for more information.\n";
    return 2;
  }
  return manager::run_series(parsed.options, std::cout, std::cerr);
}
