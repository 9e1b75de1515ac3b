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

// JSON has no infinity: an infinite Elo is written as text.
Json elo_json(double value) {
  if (std::isinf(value)) return value > 0 ? "+inf" : "-inf";
  return value;
}

// The pair scores' names, by the pair's points in half points.
constexpr char const* PAIR_NAMES[5] = {"LL", "LD", "WL/DD", "WD", "WW"};

std::string games_text(Tally const& t) {
  return plural(t.wins, "win", "wins") +
         (t.draws > 0 ? ", " + plural(t.draws, "draw", "draws") : "") + " and " +
         plural(t.losses, "loss", "losses");
}

// A game's points for `seat` in half points (a win 2, a draw 1), nothing without a result.
std::optional<int> half_points(GameRecord const& g, std::string const& seat) {
  if (g.winner == NONE) return std::nullopt;
  return (g.winner == WHITE ? g.white : g.black) == seat ? 2 : 0;
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

std::optional<Tally> parse_tally(std::string const& text, std::string& error) {
  std::vector<int> counts;
  std::size_t start = 0;
  for (std::size_t end = 0; end != std::string::npos && counts.size() < 4; start = end + 1) {
    end = text.find(',', start);
    std::string const part = text.substr(start, end == std::string::npos ? end : end - start);
    bool ok = !part.empty() && part.size() <= 7;
    for (char c : part) ok = ok && c >= '0' && c <= '9';
    int const n = ok ? std::stoi(part) : -1;
    counts.push_back(n >= 0 && n <= 1000000 ? n : -1);
  }
  if (counts.size() != 3 || counts[0] < 0 || counts[1] < 0 || counts[2] < 0 ||
      counts[0] + counts[1] + counts[2] == 0) {
    error =
        "takes wins, draws and losses as W,D,L, whole numbers up to 1000000 and at least one "
        "game, such as 39,0,1, not \"" +
        text + "\"";
    return std::nullopt;
  }
  return Tally{counts[0], counts[1], counts[2]};
}

std::string tally_text(Tally const& tally) {
  std::optional<EloEstimate> const e = estimate_elo(tally);
  if (!e) return "no games";
  return games_text(tally) + ": " + fixed(100 * e->score, 1) + "% (95% interval " +
         fixed(100 * e->score_low, 1) + "% to " + fixed(100 * e->score_high, 1) + "%), Elo " +
         elo_text(e->elo) + " (95% interval " + elo_text(e->low) + " to " + elo_text(e->high) + ")";
}

DuelScore duel_score(std::vector<GameRecord> const& games, std::string const& seat, bool pairs) {
  DuelScore score;
  if (pairs) score.pairs.emplace();
  for (GameRecord const& g : games) add_to_score(score, g, seat);
  return score;
}

void add_to_score(DuelScore& score, GameRecord const& g, std::string const& seat) {
  std::optional<int> const p = half_points(g, seat);
  std::optional<std::pair<int, int>> const first = score.pair_first;
  score.pair_first.reset();
  if (!p) {
    ++score.no_result;
    return;
  }
  ++(*p == 2 ? score.tally.wins : *p == 1 ? score.tally.draws : score.tally.losses);
  if (!score.pairs) return;
  if (g.game % 2 == 1)
    score.pair_first = std::make_pair(g.game, *p);
  else if (first && first->first == g.game - 1)
    ++score.pairs->counts[first->second + *p];
}

std::optional<EloEstimate> duel_estimate(DuelScore const& score) {
  return score.pairs ? estimate_elo(*score.pairs) : estimate_elo(score.tally);
}

double duel_llr(DuelScore const& score, SprtHypotheses const& hypotheses) {
  return score.pairs ? sprt_llr(*score.pairs, hypotheses) : sprt_llr(score.tally, hypotheses);
}

std::string duel_text(DuelScore const& score, std::string const& seat, std::string const& other,
                      std::optional<SprtHypotheses> const& sprt) {
  Tally const& t = score.tally;
  std::string text = "Elo of " + seat + " against " + other + ": ";
  if (std::optional<EloEstimate> const e = duel_estimate(score)) {
    text +=
        elo_text(e->elo) + " (95% interval " + elo_text(e->low) + " to " + elo_text(e->high) + ") ";
    if (score.pairs) {
      text += "over " + plural(score.pairs->pairs(), "pair", "pairs") + " (";
      for (int k = 0; k < 5; ++k)
        text += std::string(k > 0 ? ", " : "") + PAIR_NAMES[k] + " " +
                std::to_string(score.pairs->counts[k]);
      text += "): " + fixed(100 * e->score, 1) + "%; " + games_text(t);
    } else {
      text += "from " + games_text(t) + ": " + fixed(100 * e->score, 1) + "%";
    }
  } else {
    text += score.pairs ? "no pair of games with results" : "no games with a result";
  }
  if (score.no_result > 0)
    text += "; " + plural(score.no_result, "game", "games") + " without a result left out";
  text += "\n";
  if (sprt) {
    double const llr = duel_llr(score, *sprt);
    text += "SPRT of elo0 " + fixed(sprt->elo0, 1) + " against elo1 " + fixed(sprt->elo1, 1) +
            " (alpha = beta = 0.05): LLR " + fixed(llr, 2) + ", bounds " +
            fixed(sprt_lower_bound(), 2) + " and " + fixed(sprt_upper_bound(), 2) + ": " +
            verdict_text(sprt_verdict(llr)) + "\n";
  }
  return text;
}

std::string running_text(DuelScore const& score, int played, int games,
                         std::optional<SprtHypotheses> const& sprt) {
  Tally const& t = score.tally;
  std::string text = std::to_string(played) + "/" + std::to_string(games) + ": " +
                     std::to_string(t.wins) + "-" +
                     (t.draws > 0 ? std::to_string(t.draws) + "-" : "") + std::to_string(t.losses);
  if (std::optional<EloEstimate> const e = duel_estimate(score))
    text += ", " + elo_text(e->elo) + " Elo";
  if (sprt) text += ", LLR " + fixed(duel_llr(score, *sprt), 2);
  if (score.no_result > 0) text += ", " + std::to_string(score.no_result) + " without a result";
  return text;
}

Json duel_json(DuelScore const& score, std::string const& seat, std::string const& other,
               std::optional<SprtHypotheses> const& sprt) {
  Tally const& t = score.tally;
  Json duel = {{"seat", seat},     {"against", other},   {"wins", t.wins},
               {"draws", t.draws}, {"losses", t.losses}, {"no_result", score.no_result}};
  if (score.pairs) {
    duel["pairs"] = score.pairs->pairs();
    Json counts = Json::object();
    for (int k = 0; k < 5; ++k) counts[PAIR_NAMES[k]] = score.pairs->counts[k];
    duel["pentanomial"] = counts;
  }
  if (std::optional<EloEstimate> const e = duel_estimate(score)) {
    duel["score"] = e->score;
    duel["elo"] = elo_json(e->elo);
    duel["elo_low"] = elo_json(e->low);
    duel["elo_high"] = elo_json(e->high);
  }
  if (sprt) {
    double const llr = duel_llr(score, *sprt);
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
