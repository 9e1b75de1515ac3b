// A series read as a duel: the score of the first-named seat against the other, its Elo
// difference and, with --sprt, the test's verdict; for the console and the record.
#ifndef DRAVIX_MANAGER_DUEL_H
#define DRAVIX_MANAGER_DUEL_H

#include <optional>
#include <string>
#include <vector>

#include "manager/elo.h"
#include "manager/match.h"
#include "manager/record.h"

namespace manager {

// Reads "ELO0,ELO1" (decimal numbers, ELO0 below ELO1). On a fault returns nothing and says
// why in `error`.
std::optional<SprtHypotheses> parse_sprt(std::string const& text, std::string& error);

// The games of the seat labelled `seat` from its side. Games without a result (a failure of
// the manager) say nothing about strength: they are counted apart.
struct DuelScore {
  Tally tally;
  int no_result = 0;
};
DuelScore duel_score(std::vector<GameRecord> const& games, std::string const& seat);

// "Elo of A against B: +58 (95% interval -144 to +319) from 7 wins, 5 losses: 58.3%", and
// with `sprt` a second line with the LLR, the bounds and the verdict ("H1 accepted",
// "H0 accepted", else "inconclusive").
std::string duel_text(DuelScore const& score, std::string const& seat, std::string const& other,
                      std::optional<SprtHypotheses> const& sprt);

// The same figures for the record (an infinite Elo as null).
Json duel_json(DuelScore const& score, std::string const& seat, std::string const& other,
               std::optional<SprtHypotheses> const& sprt);

}  // namespace manager

#endif
