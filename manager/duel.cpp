#include "manager/duel.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace manager {

namespace {

// "-12", "5.5": a sign, digits and an optional fraction, nothing else.
std::optional<double> decimal(std::string const& text) {
  std::size_t const start = !text.empty() && text[0] == '-' ? 1 : 0;
  std::size_t dots = 0;
  bool ok = text.size() > start && text.size() <= 12 && text[start] != '.' && text.back() != '.';
  for (std::size_t i = start; i < text.size(); ++i) {
    dots += text[i] == '.' ? 1 : 0;
    ok = ok && ((text[i] >= '0' && text[i] <= '9') || text[i] == '.');
  }
  if (!ok || dots > 1) return std::nullopt;
  return std::stod(text);
}

// A whole Elo figure with its sign ("+58", "-144", "0", "+inf").
std::string elo_text(double elo) {
  if (std::isinf(elo)) return elo > 0 ? "+inf" : "-inf";
  long const rounded = std::lround(elo);
  return (rounded > 0 ? "+" : "") + std::to_string(rounded);
}

std::string fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string plural(int n, char const* one, char const* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

char const* verdict_text(SprtVerdict verdict) {
  switch (verdict) {
    case SprtVerdict::H1_ACCEPTED:
      return "H1 accepted";
    case SprtVerdict::H0_ACCEPTED:
      return "H0 accepted";
    case SprtVerdict::GOING_ON:
      break;
  }
  return "inconclusive";
}

Json finite_or_null(double value) {
  return std::isfinite(value) ? Json(value) : Json(nullptr);
}

}  // namespace

std::optional<SprtHypotheses> parse_sprt(std::string const& text, std::string& error) {
  std::string::size_type const comma = text.find(',');
  std::optional<double> const elo0 = decimal(text.substr(0, comma));
  std::optional<double> const elo1 =
      comma == std::string::npos ? std::nullopt : decimal(text.substr(comma + 1));
  if (!elo0 || !elo1 || std::fabs(*elo0) > 1000 || std::fabs(*elo1) > 1000) {
    error = "takes two Elo differences from -1000 to 1000, ELO0,ELO1 such as 0,50, not \"" + text +
            "\"";
    return std::nullopt;
  }
  if (*elo0 >= *elo1) {
    error = "takes ELO0 below ELO1, not \"" + text + "\"";
    return std::nullopt;
  }
  return SprtHypotheses{*elo0, *elo1};
}

DuelScore duel_score(std::vector<GameRecord> const& games, std::string const& seat) {
  DuelScore score;
  for (GameRecord const& g : games) {
    if (g.winner == NONE) {
      ++score.no_result;
      continue;
    }
    bool const won = (g.winner == WHITE ? g.white : g.black) == seat;
    ++(won ? score.tally.wins : score.tally.losses);
  }
  return score;
}

std::string duel_text(DuelScore const& score, std::string const& seat, std::string const& other,
                      std::optional<SprtHypotheses> const& sprt) {
  Tally const& t = score.tally;
  std::string text = "Elo of " + seat + " against " + other + ": ";
  if (std::optional<EloEstimate> const e = estimate_elo(t)) {
    text += elo_text(e->elo) + " (95% interval " + elo_text(e->low) + " to " + elo_text(e->high) +
            ") from " + plural(t.wins, "win", "wins") +
            (t.draws > 0 ? ", " + plural(t.draws, "draw", "draws") : "") + " and " +
            plural(t.losses, "loss", "losses") + ": " + fixed(100 * e->score, 1) + "%";
  } else {
    text += "no games with a result";
  }
  if (score.no_result > 0)
    text += "; " + plural(score.no_result, "game", "games") + " without a result left out";
  text += "\n";
  if (sprt) {
    double const llr = sprt_llr(t, *sprt);
    text += "SPRT of elo0 " + fixed(sprt->elo0, 1) + " against elo1 " + fixed(sprt->elo1, 1) +
            " (alpha = beta = 0.05): LLR " + fixed(llr, 2) + ", bounds " +
            fixed(sprt_lower_bound(), 2) + " and " + fixed(sprt_upper_bound(), 2) + ": " +
            verdict_text(sprt_verdict(llr)) + "\n";
  }
  return text;
}

Json duel_json(DuelScore const& score, std::string const& seat, std::string const& other,
               std::optional<SprtHypotheses> const& sprt) {
  Tally const& t = score.tally;
  Json duel = {{"seat", seat},     {"against", other},   {"wins", t.wins},
               {"draws", t.draws}, {"losses", t.losses}, {"no_result", score.no_result}};
  if (std::optional<EloEstimate> const e = estimate_elo(t)) {
    duel["score"] = e->score;
    duel["elo"] = finite_or_null(e->elo);
    duel["elo_low"] = finite_or_null(e->low);
    duel["elo_high"] = finite_or_null(e->high);
  }
  if (sprt) {
    double const llr = sprt_llr(t, *sprt);
    duel["sprt"] = {{"elo0", sprt->elo0},
                    {"elo1", sprt->elo1},
                    {"llr", llr},
                    {"lower_bound", sprt_lower_bound()},
                    {"upper_bound", sprt_upper_bound()},
                    {"verdict", verdict_text(sprt_verdict(llr))}};
  }
  return duel;
}

}  // namespace manager
