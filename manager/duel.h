// A series read as a duel: the score of the first-named seat against the other, over single
// games or over pairs of games from one setup with the colours swapped, its Elo difference
// and, with --sprt, the test's verdict; for the console and the record.
#ifndef DRAVIX_MANAGER_DUEL_H
#define DRAVIX_MANAGER_DUEL_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "manager/elo.h"
#include "manager/match.h"
#include "manager/record.h"

namespace manager {

// Reads "ELO0,ELO1" (decimal numbers, ELO0 below ELO1). On a fault returns nothing and says
// why in `error`.
std::optional<SprtHypotheses> parse_sprt(std::string const& text, std::string& error);

// Reads "W,D,L": wins, draws and losses, whole numbers up to 1000000, at least one game.
std::optional<Tally> parse_tally(std::string const& text, std::string& error);
// "20 wins and 0 losses: 100.0% (95% interval 83.2% to 100.0%), Elo +inf (95% interval +277 to
// +inf)": the exact interval over single games, as --elo prints it.
std::string tally_text(Tally const& tally);

// The games of the seat labelled `seat` from its side. Games without a result (a failure of
// the manager) say nothing about strength: they are counted apart. With pairs (games 1 and 2,
// 3 and 4, ... from one setup), only the pairs whose two games both have a result count.
// Games come in their order, so a pair's first game is all that waits for its second: the score
// is kept as the games end, in constant time and memory per game.
struct DuelScore {
  Tally tally;
  int no_result = 0;
  std::optional<Pentanomial> pairs;  // set for a series of pairs
  // The first game of a pair with a result (its number and half points), awaiting the second.
  std::optional<std::pair<int, int>> pair_first;
};
DuelScore duel_score(std::vector<GameRecord> const& games, std::string const& seat, bool pairs);
// Counts game `g`, the next in order, into `score` (made by duel_score, from no games or more).
void add_to_score(DuelScore& score, GameRecord const& g, std::string const& seat);

// The Elo and the test's log-likelihood ratio over the pairs when there are pairs, else over
// the games.
std::optional<EloEstimate> duel_estimate(DuelScore const& score);
double duel_llr(DuelScore const& score, SprtHypotheses const& hypotheses);

// "Elo of A against B: +58 (95% interval -167 to +299) from 7 wins and 5 losses: 58.3%" (over
// pairs: "... over 6 pairs (LL 1, LD 0, WL/DD 3, WD 0, WW 2): 58.3%; 7 wins and 5 losses"), and
// with `sprt` a second line with the LLR, the bounds and the verdict ("H1 accepted",
// "H0 accepted", else "inconclusive").
std::string duel_text(DuelScore const& score, std::string const& seat, std::string const& other,
                      std::optional<SprtHypotheses> const& sprt);

// The running score after `played` of `games` games: "12/200: 8-4, +120 Elo" (wins, draws if
// any, losses), with the LLR when there is a test.
std::string running_text(DuelScore const& score, int played, int games,
                         std::optional<SprtHypotheses> const& sprt);

// The same figures for the record; an infinite Elo as the text "+inf" or "-inf".
Json duel_json(DuelScore const& score, std::string const& seat, std::string const& other,
               std::optional<SprtHypotheses> const& sprt);

}  // namespace manager

#endif
