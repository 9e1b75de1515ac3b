// The strength of one player against another from their games: the logistic Elo difference
// with its 95% interval, and the sequential probability ratio test that stops a duel once
// its games decide between two hypotheses.
#ifndef DRAVIX_MANAGER_ELO_H
#define DRAVIX_MANAGER_ELO_H

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

// The expected score of a player `elo` points stronger, and back; a score of 0 or 1 gives
// minus or plus infinity.
double score_of_elo(double elo);
double elo_of_score(double score);

struct EloEstimate {
  double score = 0;  // 0 to 1, a draw counting half
  double elo = 0;    // infinite at a score of 0 or 1
  double low = 0;    // the 95% interval, an end infinite where the score's interval meets 0 or 1
  double high = 0;
};

// The Elo difference by the normal approximation of the score: its interval is the score's
// mean plus or minus 1.96 standard errors, from the variance of the games' scores. When
// every game had the same result that variance is 0; the interval then takes the variance
// of a score half a game less extreme, so that 20 wins out of 20 still give a finite lower
// end. Nothing without games.
std::optional<EloEstimate> estimate_elo(Tally const& tally);

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
// distribution: under each hypothesis the distribution of most likelihood whose expected
// score is that hypothesis' score. A count of 0 counts as 0.001, so that this distribution
// exists when a result has not occurred yet.
double sprt_llr(Tally const& tally, SprtHypotheses const& hypotheses);

enum class SprtVerdict { H0_ACCEPTED, H1_ACCEPTED, GOING_ON };
SprtVerdict sprt_verdict(double llr);

}  // namespace manager

#endif
