#include "manager/record_reader.h"

#include <cmath>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "game/setup.h"
#include "manager/bounded_json.h"
#include "manager/record.h"
#include "manager/referee.h"
#include "manager/setup.h"
#include "match/printable.h"

namespace manager {

namespace {

// Why the record is refused; thrown from anywhere in the reading, caught once below.
struct Refusal {
  std::string why;
};

// A record nests five levels (record, games, game, actions, action); a little room beyond.
constexpr int RECORD_DEPTH = 8;
// Game numbers of a series that starts at game 1000000 and plays 1000000 games.
constexpr long long MAX_GAME_NUMBER = 1999999;
// A game ends within some 120 actions: every turn opens with a capture.
constexpr std::size_t MAX_ACTIONS = 1000;
// Seat labels and the detail of the end quote commands and client text, both cut short.
constexpr std::size_t MAX_TEXT = 4096;
constexpr std::size_t MAX_MOVE = 32;            // an accepted move in server notation
constexpr std::size_t MAX_REFUSED_MOVE = 1024;  // what a client sent, escaped and cut
constexpr double MAX_SECONDS = 1e7;

Json const& field(Json const& object, char const* key, std::string const& where) {
  auto const found = object.find(key);
  if (found == object.end()) throw Refusal{where + " has no \"" + key + "\""};
  return *found;
}

std::string text_field(Json const& object, char const* key, std::string const& where,
                       std::size_t longest = MAX_TEXT) {
  Json const& value = field(object, key, where);
  if (!value.is_string()) throw Refusal{where + ": \"" + key + "\" is not text"};
  if (value.get_ref<std::string const&>().size() > longest)
    throw Refusal{where + ": \"" + key + "\" is longer than " + std::to_string(longest) + " bytes"};
  // Shown on the console as it stands: nothing in it may drive a terminal.
  if (!printable(value.get_ref<std::string const&>()))
    throw Refusal{where + ": \"" + key + "\" holds control characters or bytes that are not UTF-8"};
  return value.get<std::string>();
}

long long whole(Json const& value, std::string const& what, long long low, long long high) {
  bool fits = false;
  long long number = 0;
  if (value.is_number_unsigned()) {
    // Compared before it is converted: a huge unsigned value must not wrap.
    fits = value.get<unsigned long long>() <= static_cast<unsigned long long>(high);
    number = fits ? static_cast<long long>(value.get<unsigned long long>()) : 0;
  } else if (value.is_number_integer()) {
    number = value.get<long long>();
    fits = number <= high;
  }
  if (!fits || number < low)
    throw Refusal{what + " is not a whole number from " + std::to_string(low) + " to " +
                  std::to_string(high)};
  return number;
}

// "white", "black" or, where `none_allowed`, null.
Players colour(Json const& value, std::string const& what, bool none_allowed) {
  if (value == "white") return WHITE;
  if (value == "black") return BLACK;
  if (value.is_null() && none_allowed) return NONE;
  throw Refusal{what + " is not " + (none_allowed ? "white, black or null" : "white or black")};
}

Reason reason_of(std::string const& name, std::string const& where) {
  for (Reason r : {Reason::ELIMINATION, Reason::NO_CAPTURE, Reason::ILLEGAL_MOVE,
                   Reason::TIME_LIMIT, Reason::DISCONNECTED, Reason::ERROR, Reason::INTERRUPTED})
    if (reason_name(r) == name) return r;
  throw Refusal{where + ": \"" + client_text(name) + "\" is no reason a game ends for"};
}

ActionRecord read_action(Json const& value, std::string const& where, std::size_t longest_move) {
  if (!value.is_object()) throw Refusal{where + " is not an object"};
  ActionRecord a;
  a.number = static_cast<int>(whole(field(value, "number", where), where + ": \"number\"", 1,
                                    static_cast<long long>(MAX_ACTIONS) + 1));
  a.player = colour(field(value, "player", where), where + ": \"player\"", false);
  a.step = static_cast<int>(whole(field(value, "step", where), where + ": \"step\"", 1, 2));
  a.move = text_field(value, "move", where, longest_move);
  a.kind = text_field(value, "kind", where, 16);
  Json const& seconds = field(value, "seconds", where);
  if (!seconds.is_number() || !std::isfinite(seconds.get<double>()) || seconds.get<double>() < 0 ||
      seconds.get<double>() > MAX_SECONDS)
    throw Refusal{where + ": \"seconds\" is not a time an action can take"};
  a.seconds = seconds.get<double>();
  return a;
}

struct Duel {
  std::uint32_t seed;
  std::string const& seat;
  std::string const& against;
  bool pairs;
};

// The start of game `g`: the random setup of its seed, which its number gives, or (without a
// seed) a board that a --board file could have held.
void check_start(GameRecord const& g, Duel const& duel, std::string const& where) {
  if (!g.setup_seed) {
    std::string error;
    if (!read_board(g.start, error)) throw Refusal{where + ": its start is no board"};
    return;
  }
  int const setup = duel.pairs ? (g.game - 1) / 2 : g.game - 1;
  if (*g.setup_seed != duel.seed + static_cast<std::uint32_t>(setup))
    throw Refusal{where + ": its setup seed is not the one of its number in this duel"};
  if (g.start != board_description(random_setup(*g.setup_seed)))
    throw Refusal{where + ": its start is not the setup of its seed"};
}

// Plays the actions again under the referee: each must be the legal action of the side to
// move, written as the manager writes it, and the end must be the one the rules give.
void check_play(GameRecord const& g, std::string const& where) {
  std::string error;
  std::optional<Vorak> const start = read_board(g.start, error);
  if (!start) throw Refusal{where + ": its start is no board"};
  Referee referee(*start);
  for (ActionRecord const& a : g.actions) {
    std::string const at = where + ", action " + std::to_string(a.number);
    if (referee.over())
      throw Refusal{where + ": the game was over before action " + std::to_string(a.number)};
    if (a.number != referee.action_number() || a.player != referee.to_move() ||
        a.step != referee.step())
      throw Refusal{at + ": not the number, side or step of the action due"};
    Referee::Verdict const verdict = referee.submit(a.move);
    if (!verdict.accepted)
      throw Refusal{at + ": \"" + client_text(a.move) + "\" is not a legal action there"};
    if (verdict.move != a.move || kind_name(verdict.kind) != a.kind)
      throw Refusal{at + ": not written as the manager writes an action"};
  }
  bool const by_rules = g.reason == Reason::ELIMINATION || g.reason == Reason::NO_CAPTURE;
  bool const no_result = g.reason == Reason::ERROR || g.reason == Reason::INTERRUPTED;
  if (by_rules != referee.over() ||
      (by_rules && (referee.winner() != g.winner || referee.reason() != g.reason)))
    throw Refusal{where + ": its actions do not end as its winner and reason say"};
  if (no_result != (g.winner == NONE))
    throw Refusal{where + ": a game that ended by " + reason_name(g.reason) +
                  (no_result ? " has no winner" : " has a winner")};
  if (g.refused && g.reason != Reason::ILLEGAL_MOVE)
    throw Refusal{where + ": only a game lost by an illegal move has a refused action"};
}

GameRecord read_game(Json const& value, Duel const& duel, std::size_t index) {
  std::string where = "the record's game entry " + std::to_string(index + 1);
  if (!value.is_object()) throw Refusal{where + " is not an object"};
  GameRecord g;
  g.game = static_cast<int>(
      whole(field(value, "game", where), where + ": \"game\"", 1, MAX_GAME_NUMBER));
  where = "game " + std::to_string(g.game);
  g.white = text_field(value, "white", where);
  g.black = text_field(value, "black", where);
  bool const seat_white = g.white == duel.seat && g.black == duel.against;
  if (!seat_white && !(g.white == duel.against && g.black == duel.seat))
    throw Refusal{where + ": its seats are not the duel's two"};
  // In pairs the first seat plays White in the first game of each pair.
  if (duel.pairs && seat_white != (g.game % 2 == 1))
    throw Refusal{where + ": its colours are not those of its place in a pair"};
  Json const& seed = field(value, "setup_seed", where);
  if (!seed.is_null())
    g.setup_seed =
        static_cast<std::uint32_t>(whole(seed, where + ": \"setup_seed\"", 0, 4294967295LL));
  g.start = text_field(value, "start", where);
  check_start(g, duel, where);

  Json const& actions = field(value, "actions", where);
  if (!actions.is_array() || actions.size() > MAX_ACTIONS)
    throw Refusal{where + ": \"actions\" is not a list of at most " + std::to_string(MAX_ACTIONS) +
                  " actions"};
  for (Json const& action : actions)
    g.actions.push_back(read_action(
        action, where + ", action entry " + std::to_string(g.actions.size() + 1), MAX_MOVE));
  Json const& refused = field(value, "refused", where);
  if (!refused.is_null())
    g.refused = read_action(refused, where + ": \"refused\"", MAX_REFUSED_MOVE);
  g.winner = colour(field(value, "winner", where), where + ": \"winner\"", true);
  g.reason = reason_of(text_field(value, "reason", where, 32), where);
  g.detail = text_field(value, "detail", where);
  check_play(g, where);
  return g;
}

ReadRecord read(std::string_view text_of_record) {
  std::string error;
  // A record holds a value every twenty bytes or so: a text of nothing but values would cost
  // far more memory than any record.
  JsonBounds const bounds{RECORD_DEPTH, MAX_RECORD_BYTES / 8, 64};
  std::optional<Json> const parsed = parse_bounded_json(text_of_record, bounds, error);
  if (!parsed) throw Refusal{"not a record: " + error};
  Json const& record = *parsed;
  if (!record.is_object()) throw Refusal{"not a record: it is not a JSON object"};
  ReadRecord out;
  out.seed = static_cast<std::uint32_t>(
      whole(field(record, "seed", "the record"), "the record's \"seed\"", 0, 4294967295LL));
  auto const duel = record.find("duel");
  if (duel == record.end() || !duel->is_object())
    throw Refusal{"not the record of a duel: it has no \"duel\" summary"};
  out.seat = text_field(*duel, "seat", "the record's duel");
  out.against = text_field(*duel, "against", "the record's duel");
  if (out.seat == out.against) throw Refusal{"the record's duel has one seat twice"};
  auto const pairs = duel->find("pairs");
  out.pairs = pairs != duel->end();
  if (out.pairs) whole(*pairs, "the record's duel: \"pairs\"", 0, MAX_GAME_NUMBER);
  Json const& games = field(record, "games", "the record");
  if (!games.is_array()) throw Refusal{"the record's \"games\" is not a list"};
  Duel const facts{out.seed, out.seat, out.against, out.pairs};
  for (Json const& game : games) {
    GameRecord g = read_game(game, facts, out.games.size());
    if (!out.games.empty() && g.game <= out.games.back().game)
      throw Refusal{"game " + std::to_string(g.game) + " follows game " +
                    std::to_string(out.games.back().game) + ": a record keeps its games in order"};
    out.games.push_back(std::move(g));
  }
  return out;
}

}  // namespace

std::optional<ReadRecord> read_record(std::string_view text, std::string& error) {
  try {
    return read(text);
  } catch (Refusal const& refusal) {
    error = refusal.why;
    return std::nullopt;
  }
}

std::optional<ReadRecord> read_record_file(std::string const& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = path + ": cannot be read";
    return std::nullopt;
  }
  std::string text;
  std::vector<char> chunk(1 << 16);
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (text.size() > MAX_RECORD_BYTES) {
      error = path + ": larger than " + std::to_string(MAX_RECORD_BYTES >> 20) +
              " MiB, more than a record of a job holds";
      return std::nullopt;
    }
  }
  std::optional<ReadRecord> record = read_record(text, error);
  if (!record) error = path + ": " + error;
  return record;
}

}  // namespace manager
