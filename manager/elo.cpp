#include "manager/elo.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>

#include <boost/math/special_functions/beta.hpp>

namespace manager {

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double Z95 = 1.959963984540054;  // the two-sided 95% quantile of the normal law
// Points a side needs on each side of the score before the normal law of the mean is trusted.
constexpr double NORMAL_POINTS = 5;

// The exact 95% interval of a score of `points` (draws as halves) in `games` games: the
// probabilities of a win at which that many points or more, or that few or fewer, have a
// chance of 2.5%.
void exact_interval(double points, double games, double& low, double& high) {
  low = points <= 0 ? 0 : boost::math::ibeta_inv(points, games - points + 1, 0.025);
  high = points >= games ? 1 : boost::math::ibeta_inv(points + 1, games - points, 0.975);
}

EloEstimate from_scores(double score, double low, double high) {
  EloEstimate e;
  e.score = score;
  e.score_low = std::clamp(low, 0.0, 1.0);
  e.score_high = std::clamp(high, 0.0, 1.0);
  e.elo = elo_of_score(score);
  e.low = elo_of_score(e.score_low);
  e.high = elo_of_score(e.score_high);
  return e;
}

// The lambda of the most likely distribution p_i = q_i / (1 + lambda (v_i - s)) of scores v
// (from 0 to 1, both present) with expected score `s`, for observed frequencies q: the root of
// sum q_i (v_i - s) / (1 + lambda (v_i - s)), which falls from +inf to -inf on the lambdas
// that keep every p_i positive.
template <std::size_t N>
double lagrange_multiplier(double const (&q)[N], double const (&values)[N], double s) {
  double low = -1 / (1 - s), high = 1 / s;
  for (int i = 0; i < 200 && low < high; ++i) {
    double const mid = low + (high - low) / 2;
    if (mid == low || mid == high) break;
    double sum = 0;
    for (std::size_t k = 0; k < N; ++k) sum += q[k] * (values[k] - s) / (1 + mid * (values[k] - s));
    (sum > 0 ? low : high) = mid;
  }
  return low + (high - low) / 2;
}

// The generalized log-likelihood ratio over counts of the scores `values`.
template <std::size_t N>
double generalized_llr(int const (&observed)[N], double const (&values)[N],
                       SprtHypotheses const& hypotheses) {
  constexpr double epsilon = 1e-3;
  double counts[N], q[N], total = 0;
  for (std::size_t k = 0; k < N; ++k) total += counts[k] = std::max<double>(observed[k], epsilon);
  for (std::size_t k = 0; k < N; ++k) q[k] = counts[k] / total;
  double const s0 = score_of_elo(hypotheses.elo0), s1 = score_of_elo(hypotheses.elo1);
  double const lambda0 = lagrange_multiplier(q, values, s0);
  double const lambda1 = lagrange_multiplier(q, values, s1);
  double llr = 0;
  // ln(p1_i / p0_i) = ln(1 + lambda0 (v_i - s0)) - ln(1 + lambda1 (v_i - s1))
  for (std::size_t k = 0; k < N; ++k)
    llr += counts[k] *
           (std::log1p(lambda0 * (values[k] - s0)) - std::log1p(lambda1 * (values[k] - s1)));
  return llr;
}

}  // namespace

double score_of_elo(double elo) {
  return 1 / (1 + std::pow(10.0, -elo / 400));
}

double elo_of_score(double score) {
  if (score <= 0) return -INF;
  if (score >= 1) return INF;
  return -400 * std::log10(1 / score - 1);
}

std::optional<EloEstimate> estimate_elo(Tally const& tally) {
  int const n = tally.games();
  if (n <= 0) return std::nullopt;
  double const points = tally.wins + 0.5 * tally.draws;
  double low = 0, high = 1;
  exact_interval(points, n, low, high);
  return from_scores(points / n, low, high);
}

std::optional<EloEstimate> estimate_elo(Pentanomial const& pairs) {
  int const n = pairs.pairs();
  if (n <= 0) return std::nullopt;
  double sum = 0;
  for (int k = 0; k < 5; ++k) sum += pairs.counts[k] * (k / 4.0);
  double const score = sum / n;
  double variance = 0;
  for (int k = 0; k < 5; ++k) variance += pairs.counts[k] * (k / 4.0 - score) * (k / 4.0 - score);
  variance /= n;
  double const margin = Z95 * std::sqrt(variance / n);
  double low = score - margin, high = score + margin;
  double const games = 2.0 * n, points = score * games;
  if (variance <= 0 || points < NORMAL_POINTS || games - points < NORMAL_POINTS) {
    double exact_low = 0, exact_high = 1;
    exact_interval(points, games, exact_low, exact_high);
    low = std::min(low, exact_low);
    high = std::max(high, exact_high);
  }
  return from_scores(score, low, high);
}

double sprt_llr(Tally const& tally, SprtHypotheses const& hypotheses) {
  if (tally.games() <= 0) return 0;
  int const counts[3] = {tally.losses, tally.draws, tally.wins};
  constexpr double values[3] = {0.0, 0.5, 1.0};
  return generalized_llr(counts, values, hypotheses);
}

double sprt_llr(Pentanomial const& pairs, SprtHypotheses const& hypotheses) {
  if (pairs.pairs() <= 0) return 0;
  int const counts[5] = {pairs.counts[0], pairs.counts[1], pairs.counts[2], pairs.counts[3],
                         pairs.counts[4]};
  constexpr double values[5] = {0.0, 0.25, 0.5, 0.75, 1.0};
  return generalized_llr(counts, values, hypotheses);
}

SprtVerdict sprt_verdict(double llr) {
  if (llr >= sprt_upper_bound()) return SprtVerdict::H1_ACCEPTED;
  if (llr <= sprt_lower_bound()) return SprtVerdict::H0_ACCEPTED;
  return SprtVerdict::GOING_ON;
}

}  // namespace manager
