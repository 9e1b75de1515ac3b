// The playout policy of the tree search, the names of its parallel forms and its tuning keys.
#include "ai/tree/policy.h"

#include <cmath>
#include <cstdlib>
#include <string>

UctTables const uctTables;

UctTables::UctTables() : child{}, root_log{} {
  for (std::uint32_t n = 0; n < SIZE; ++n)
    root_log[n] = static_cast<float>(std::sqrt(std::log(static_cast<double>(n) + 1)));
  for (std::uint32_t n = 1; n < SIZE; ++n) {
    child[n].inverse = static_cast<float>(1.0 / n);
    child[n].inverse_root = static_cast<float>(1.0 / std::sqrt(static_cast<double>(n)));
  }
}

char const* parallel_name(Parallel parallel) {
  return parallel == Parallel::TREE ? "tree" : "root";
}

std::optional<Parallel> parallel_from(std::string const& name) {
  for (Parallel p : {Parallel::ROOT, Parallel::TREE})
    if (name == parallel_name(p)) return p;
  return std::nullopt;
}

namespace {

std::optional<double> decimal(std::string const& text, double low, double high) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  char* end = nullptr;
  double const value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= low && value <= high)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> tune(TreeSettings& settings, std::string const& item) {
  std::string::size_type const equals = item.find('=');
  std::string const key = item.substr(0, equals);
  std::string const value = equals == std::string::npos ? "" : item.substr(equals + 1);
  auto refuse = [&](char const* range) {
    return std::optional<std::string>(key + " takes " + range + ", not \"" + value + "\"");
  };
  if (key == "exploration" || key == "widening" || key == "first_play") {
    std::optional<double> const v = decimal(value, 0, 1000);
    if (!v) return refuse("a number from 0 to 1000");
    (key == "exploration" ? settings.exploration
     : key == "widening"  ? settings.widening
                          : settings.first_play) = *v;
  } else if (key == "priors" || key == "solver") {
    if (value != "0" && value != "1") return refuse("0 or 1");
    (key == "priors" ? settings.priors : settings.solver) = value == "1";
  } else if (key == "expand_after") {
    std::optional<double> const v = decimal(value, 1, 100000);
    if (!v || *v != static_cast<std::uint32_t>(*v))
      return refuse("a whole number from 1 to 100000");
    settings.expand_after = static_cast<std::uint32_t>(*v);
  } else {
    return "unknown tuning key \"" + key +
           "\": exploration, widening, first_play, priors, solver and expand_after are known";
  }
  return std::nullopt;
}

Players play_out(FastPlayout& p, Players mover, boost::random::mt19937& engine, bool checked) {
  for (;;) {
    Players const over = p.winner();
    if (over != NONE) return over;
    if (!checked && p.move_count() % 2 == 0 && p.opponent_low(mover)) {
      Decision decision;
      if (p.lookahead(mover, decision)) return decision.winner;
    }
    checked = false;
    FastPlayout::Move move;
    if (!p.pick(mover, false, engine, move)) return opponent_of(mover);
    p.execute(move);
    if (p.move_count() % 2 == 0) mover = opponent_of(mover);
  }
}
