#include "manager/web/analysis_board.h"

#include "game/setup.h"
#include "manager/referee.h"
#include "manager/setup.h"
#include "manager/web/web_game.h"

namespace manager {

namespace {

// A board description is 60 groups of a few words; far more is no description.
constexpr std::size_t MAX_BOARD_TEXT = 8192;

Json cell_of(char row, char column) {
  return Json::array({row - '0', column - '0'});
}

}  // namespace

std::optional<BoardSetup> read_setup(Json const& request, std::string& error) {
  auto const field = [&](char const* name) {
    return request.is_object() && request.contains(name) ? request[name] : Json();
  };
  Json const board = field("board");
  Json const player = field("player");
  Json const step = field("step");
  Json const opening = field("opening");
  if (!board.is_string() || board.get_ref<std::string const&>().size() > MAX_BOARD_TEXT) {
    error = "a position is a board description of at most " + std::to_string(MAX_BOARD_TEXT) +
            " characters";
    return std::nullopt;
  }
  if (player != "white" && player != "black") {
    error = "the side to act is \"white\" or \"black\"";
    return std::nullopt;
  }
  if (step != 1 && step != 2) {
    error = "the action due is the turn's first (1) or second (2)";
    return std::nullopt;
  }
  bool const first_of_game = opening.is_boolean() && opening.get<bool>();
  if (first_of_game && (player != "white" || step != 1)) {
    error = "the game's opening action is White's first";
    return std::nullopt;
  }
  std::optional<Vorak> position = read_board(board.get<std::string>(), error);
  if (!position) return std::nullopt;
  position->move_count = first_of_game ? 0 : step == 1 ? 2 : 3;
  return BoardSetup{*position, player == "white" ? WHITE : BLACK};
}

Json setup_json(BoardSetup const& setup) {
  Referee const referee(setup.position, setup.player);
  Json legal = Json::array();
  bool pass = false;
  if (!referee.over()) {
    for (std::string const& m : referee.legal()) {
      if (m.empty()) {
        pass = true;
        continue;
      }
      legal.push_back({{"move", *to_server_notation(m)},
                       {"from", cell_of(m[0], m[1])},
                       {"to", cell_of(m[2], m[3])}});
    }
  }
  Vorak const& position = referee.position();
  return {{"board", board_description(position)},
          {"player", colour_json(referee.to_move())},
          {"step", position.step()},
          {"opening", position.move_count == 0},
          {"position", position_json(position)},
          {"legal", legal},
          {"pass", pass},
          {"over", referee.over() ? Json{{"winner", colour_json(referee.winner())},
                                         {"detail", referee.detail()}}
                                  : Json(nullptr)}};
}

Json play_on(Json const& request) {
  std::string error;
  std::optional<BoardSetup> setup = read_setup(request, error);
  if (!setup) return {{"error", error}};
  Json const move = request.value("move", Json());
  if (move.is_null()) return setup_json(*setup);
  if (!move.is_string() || move.get_ref<std::string const&>().size() > 32)
    return {{"error", "a move is a text in server notation"}};
  Referee referee(setup->position, setup->player);
  if (referee.over()) return {{"error", "the game is over: " + referee.detail()}};
  Referee::Verdict const verdict = referee.submit(move.get<std::string>());
  if (!verdict.accepted) return {{"error", verdict.error}};
  return setup_json(BoardSetup{referee.position(), referee.to_move()});
}

}  // namespace manager
