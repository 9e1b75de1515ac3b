#include "manager/record.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <system_error>

namespace manager {

namespace {

SeatStats& stats_of(SeriesStats& stats, std::string const& label) {
  for (SeatStats& s : stats.seats)
    if (s.label == label) return s;
  stats.seats.push_back(SeatStats{});
  stats.seats.back().label = label;
  return stats.seats.back();
}

}  // namespace

SeriesStats summarize(std::vector<GameRecord> const& games) {
  SeriesStats stats;
  long long actions = 0;
  for (GameRecord const& g : games) {
    ++stats.games;
    actions += static_cast<long long>(g.actions.size());
    if (g.winner == WHITE) ++stats.white_wins;
    if (g.winner == BLACK) ++stats.black_wins;
    if (g.winner == NONE) ++stats.no_result;
    for (Players p : {WHITE, BLACK}) {
      SeatStats& s = stats_of(stats, p == WHITE ? g.white : g.black);
      bool const won = g.winner == p;
      ++s.games;
      s.wins += won ? 1 : 0;
      (p == WHITE ? s.games_as_white : s.games_as_black) += 1;
      (p == WHITE ? s.wins_as_white : s.wins_as_black) += won ? 1 : 0;
      for (ActionRecord const& a : g.actions) {
        if (a.player != p) continue;
        ++s.actions;
        s.think_total += a.seconds;
        s.think_longest = std::max(s.think_longest, a.seconds);
      }
    }
  }
  if (stats.games > 0) stats.average_actions = static_cast<double>(actions) / stats.games;
  return stats;
}

std::string results_table(SeriesStats const& stats) {
  std::ostringstream out;
  out << "Results of " << stats.games << (stats.games == 1 ? " game" : " games") << "\n";
  out << "  White won " << stats.white_wins << ", Black won " << stats.black_wins << ", no result "
      << stats.no_result << "\n";
  out << "  Average actions per game: " << std::fixed << std::setprecision(1)
      << stats.average_actions << "\n\n";
  // Labels with settings ("bot:time=4,threads=2") widen the first column.
  int seat_width = 12;
  for (SeatStats const& s : stats.seats)
    seat_width = std::max(seat_width, static_cast<int>(s.label.size()) + 2);
  out << std::left << std::setw(seat_width) << "Seat" << std::right << std::setw(6) << "Games"
      << std::setw(6) << "Wins" << std::setw(11) << "as White" << std::setw(11) << "as Black"
      << std::setw(14) << "think avg s" << std::setw(14) << "think max s"
      << "\n";
  for (SeatStats const& s : stats.seats) {
    double const average = s.actions > 0 ? s.think_total / s.actions : 0.0;
    out << std::left << std::setw(seat_width) << s.label << std::right << std::setw(6) << s.games
        << std::setw(6) << s.wins << std::setw(11)
        << (std::to_string(s.wins_as_white) + "/" + std::to_string(s.games_as_white))
        << std::setw(11)
        << (std::to_string(s.wins_as_black) + "/" + std::to_string(s.games_as_black))
        << std::setw(14) << std::setprecision(3) << average << std::setw(14) << s.think_longest
        << "\n";
  }
  return out.str();
}

Json colour_json(Players p) {
  if (p == WHITE) return "white";
  if (p == BLACK) return "black";
  return nullptr;
}

Json action_json(ActionRecord const& a) {
  return {{"number", a.number}, {"player", colour_json(a.player)},
          {"step", a.step},     {"move", a.move},
          {"kind", a.kind},     {"seconds", a.seconds}};
}

Json game_json(GameRecord const& game) {
  Json actions = Json::array();
  for (ActionRecord const& a : game.actions) actions.push_back(action_json(a));
  Json think = Json::object();
  for (Players p : {WHITE, BLACK}) {
    int count = 0;
    double total = 0, longest = 0;
    for (ActionRecord const& a : game.actions) {
      if (a.player != p) continue;
      ++count;
      total += a.seconds;
      longest = std::max(longest, a.seconds);
    }
    think[p == WHITE ? "white" : "black"] = {{"actions", count},
                                             {"total", total},
                                             {"average", count > 0 ? total / count : 0.0},
                                             {"longest", longest}};
  }
  return {{"game", game.game},
          {"white", game.white},
          {"black", game.black},
          {"setup_seed", game.setup_seed ? Json(*game.setup_seed) : Json(nullptr)},
          {"start", game.start},
          {"actions", actions},
          {"refused", game.refused ? action_json(*game.refused) : Json(nullptr)},
          {"winner", colour_json(game.winner)},
          {"reason", reason_name(game.reason)},
          {"detail", game.detail},
          {"think", think}};
}

Json series_json(std::vector<GameRecord> const& games, std::uint32_t seed) {
  Json list = Json::array();
  for (GameRecord const& g : games) list.push_back(game_json(g));
  SeriesStats const stats = summarize(games);
  Json seats = Json::array();
  for (SeatStats const& s : stats.seats) {
    seats.push_back({{"seat", s.label},
                     {"games", s.games},
                     {"wins", s.wins},
                     {"games_as_white", s.games_as_white},
                     {"wins_as_white", s.wins_as_white},
                     {"games_as_black", s.games_as_black},
                     {"wins_as_black", s.wins_as_black},
                     {"actions", s.actions},
                     {"think_average", s.actions > 0 ? s.think_total / s.actions : 0.0},
                     {"think_longest", s.think_longest}});
  }
  return {{"seed", seed},
          {"games", list},
          {"summary",
           {{"games", stats.games},
            {"white_wins", stats.white_wins},
            {"black_wins", stats.black_wins},
            {"no_result", stats.no_result},
            {"average_actions", stats.average_actions},
            {"seats", seats}}}};
}

bool write_record(std::string const& path, Json const& record, std::string& error) {
  std::string const temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    // Refused moves are client text, not necessarily UTF-8: replace what is not.
    out << record.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    out.close();
    if (!out) {
      error = "cannot write " + temporary;
      std::remove(temporary.c_str());
      return false;
    }
  }
  // std::filesystem::rename replaces an existing file on Windows too, where std::rename fails.
  std::error_code failure;
  std::filesystem::rename(temporary, path, failure);
  if (failure) {
    error = "cannot replace " + path + ": " + failure.message();
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace manager
