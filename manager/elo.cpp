#include "manager/elo.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace manager {

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double Z95 = 1.959963984540054;  // the two-sided 95% quantile of the normal law

// The lambda of the most likely distribution p_i = q_i / (1 + lambda (v_i - s)) of scores v
// (loss, draw, win) with expected score `s`, for observed frequencies q: the root of
// sum q_i (v_i - s) / (1 + lambda (v_i - s)), which falls from +inf to -inf on the lambdas
// that keep every p_i positive.
double lagrange_multiplier(double const (&q)[3], double s) {
  constexpr double values[3] = {0.0, 0.5, 1.0};
  double low = -1 / (1 - s), high = 1 / s;
  for (int i = 0; i < 200 && low < high; ++i) {
    double const mid = low + (high - low) / 2;
    if (mid == low || mid == high) break;
    double sum = 0;
    for (int k = 0; k < 3; ++k) sum += q[k] * (values[k] - s) / (1 + mid * (values[k] - s));
    (sum > 0 ? low : high) = mid;
  }
  return low + (high - low) / 2;
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
  double const score = (tally.wins + 0.5 * tally.draws) / n;
  double variance = (tally.wins * (1 - score) * (1 - score) +
                     tally.draws * (0.5 - score) * (0.5 - score) + tally.losses * score * score) /
                    n;
  if (tally.wins == n || tally.losses == n) {
    double const moved = tally.wins == n ? 1 - 0.5 / n : 0.5 / n;
    variance = moved * (1 - moved);
  }
  double const margin = Z95 * std::sqrt(variance / n);
  EloEstimate estimate;
  estimate.score = score;
  estimate.elo = elo_of_score(score);
  estimate.low = elo_of_score(std::clamp(score - margin, 0.0, 1.0));
  estimate.high = elo_of_score(std::clamp(score + margin, 0.0, 1.0));
  return estimate;
}

double sprt_llr(Tally const& tally, SprtHypotheses const& hypotheses) {
  if (tally.games() <= 0) return 0;
  constexpr double epsilon = 1e-3;
  double const counts[3] = {std::max<double>(tally.losses, epsilon),
                            std::max<double>(tally.draws, epsilon),
                            std::max<double>(tally.wins, epsilon)};
  double const total = counts[0] + counts[1] + counts[2];
  double const q[3] = {counts[0] / total, counts[1] / total, counts[2] / total};
  double const s0 = score_of_elo(hypotheses.elo0), s1 = score_of_elo(hypotheses.elo1);
  double const lambda0 = lagrange_multiplier(q, s0), lambda1 = lagrange_multiplier(q, s1);
  constexpr double values[3] = {0.0, 0.5, 1.0};
  double llr = 0;
  // ln(p1_i / p0_i) = ln(1 + lambda0 (v_i - s0)) - ln(1 + lambda1 (v_i - s1))
  for (int k = 0; k < 3; ++k)
    llr += counts[k] *
           (std::log1p(lambda0 * (values[k] - s0)) - std::log1p(lambda1 * (values[k] - s1)));
  return llr;
}

SprtVerdict sprt_verdict(double llr) {
  if (llr >= sprt_upper_bound()) return SprtVerdict::H1_ACCEPTED;
  if (llr <= sprt_lower_bound()) return SprtVerdict::H0_ACCEPTED;
  return SprtVerdict::GOING_ON;
}

}  // namespace manager
