// The strength of one player against another from their games: the logistic Elo difference
// with its 95% interval, over single games or over pairs of games played from one setup with
// the colours swapped, and the sequential probability ratio test that stops a duel once its
// games decide between two hypotheses.
#ifndef DRAVIX_MANAGER_ELO_H
#define DRAVIX_MANAGER_ELO_H

#include <array>
#include <cmath>
#include <optional>

namespace manager {

// Games from one player's side.
struct Tally {
  int wins = 0;
  int draws = 0;
  int losses = 0;
  int games() const { return wins + draws + losses; }
};

// Pairs of games from one player's side, by the pair's score in half points: counts[0] lost
// both (LL), [1] a loss and a draw, [2] a win and a loss or two draws, [3] a win and a draw,
// [4] won both (WW).
struct Pentanomial {
  std::array<int, 5> counts{};
  int pairs() const { return counts[0] + counts[1] + counts[2] + counts[3] + counts[4]; }
};

// The expected score of a player `elo` points stronger, and back; a score of 0 or 1 gives
// minus or plus infinity.
double score_of_elo(double elo);
double elo_of_score(double score);

struct EloEstimate {
  double score = 0;      // 0 to 1, a draw counting half
  double score_low = 0;  // the score's 95% interval
  double score_high = 0;
  double elo = 0;  // infinite at a score of 0 or 1
  double low = 0;  // the Elo interval, an end infinite where the score's interval meets 0 or 1
  double high = 0;
};

// Over single games: the exact (Clopper-Pearson) interval of the score, a draw counting as
// half a win, so that it holds however few games or however one-sided: never narrower than
// the 95% it claims. Nothing without games.
std::optional<EloEstimate> estimate_elo(Tally const& tally);

// Over pairs: the mean pair score plus or minus 1.96 standard errors of the pairs' scores,
// which the pairing makes smaller when a setup favours one colour. That normal law is not to
// be trusted at the extremes, where a side has scored fewer than 5 points of the games or the
// pairs' scores do not vary at all: there each end is the wider of it and the exact one over
// the pairs' games. Nothing without pairs.
std::optional<EloEstimate> estimate_elo(Pentanomial const& pairs);

// The two hypotheses of the test, as Elo differences: H0 elo0, H1 elo1 (elo0 < elo1).
struct SprtHypotheses {
  double elo0 = 0;
  double elo1 = 0;
};

// alpha = beta = 0.05: the test accepts H0 at ln(beta / (1 - alpha)) or below and H1 at
// ln((1 - beta) / alpha) or above.
constexpr double SPRT_ALPHA = 0.05;
constexpr double SPRT_BETA = 0.05;
inline double sprt_lower_bound() {
  return std::log(SPRT_BETA / (1 - SPRT_ALPHA));
}
inline double sprt_upper_bound() {
  return std::log((1 - SPRT_BETA) / SPRT_ALPHA);
}

// The generalized log-likelihood ratio of H1 against H0 over the games' win/draw/loss
// distribution, or over the pairs' five scores: under each hypothesis the distribution of most
// likelihood whose expected score (per game) is that hypothesis' score. A count of 0 counts as
// 0.001, so that this distribution exists when a result has not occurred yet.
double sprt_llr(Tally const& tally, SprtHypotheses const& hypotheses);
double sprt_llr(Pentanomial const& pairs, SprtHypotheses const& hypotheses);

enum class SprtVerdict { H0_ACCEPTED, H1_ACCEPTED, GOING_ON };
SprtVerdict sprt_verdict(double llr);

}  // namespace manager

#endif
