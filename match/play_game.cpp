// The match loop: one game against the Corvane Game Manager, one line per message.
#include <algorithm>
#include <iostream>
#include <string>

#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/trim.hpp>

#include "game/geometry.h"
#include "game/vorak.h"
#include "match/match.h"
#include "net/socket.h"

namespace {

constexpr char const* FAILURE_PREFIX = "Unable to connect to the Corvane Game Manager: ";

constexpr unsigned short row_length(unsigned short row) {
  unsigned short n = 0;
  for (int c = 0; c < geometry::SIZE; ++c) n += geometry::is_playable(row, c) ? 1 : 0;
  return n;
}

bool holds_stack(Entry const& e) {
  return (e.owner == WHITE || e.owner == BLACK) &&
         (e.piece == VORAK || e.piece == MORIEL || e.piece == WEMM);
}

// A move from the server is applied to our own copy of the position, so anything that does not
// name an opponent's stack moving onto a stack would corrupt it: such a game cannot go on.
void check_server_move(Vorak const& game, std::string const& body) {
  auto const refuse = [&body](std::string const& why) {
    throw std::string("the server sent the move \"" + body + "\", which " + why);
  };
  std::string const digits = boost::algorithm::erase_all_copy(body, ",");
  bool const four_digits =
      digits.size() == 4 &&
      std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!four_digits) refuse("is not four numbers");
  unsigned short const source_row = static_cast<unsigned short>(digits[0] - '0');
  unsigned short const source_index = static_cast<unsigned short>(digits[1] - '0');
  unsigned short const target_row = static_cast<unsigned short>(digits[2] - '0');
  unsigned short const target_index = static_cast<unsigned short>(digits[3] - '0');
  if (source_row >= Vorak::SIZE || target_row >= Vorak::SIZE ||
      source_index >= row_length(source_row) || target_index >= row_length(target_row))
    refuse("does not name two cells of the board");

  std::string move = digits;
  game.translate_move_from_cgm(move);
  Entry const& source = game.board[move[0] - '0'][move[1] - '0'];
  Entry const& target = game.board[move[2] - '0'][move[3] - '0'];
  Players const opponent =
      game.own_player == WHITE ? BLACK : (game.own_player == BLACK ? WHITE : NONE);
  if (!holds_stack(source) || (opponent != NONE && source.owner != opponent))
    refuse("does not start from a stack of my opponent");
  if (!holds_stack(target)) refuse("does not end on a stack");
}

int outcome(std::string const& body) {
  if (body == "YouWin" || body == "OtherPlayerForfeits" || body == "OpponentMadeIllegalMove" ||
      body == "OpponentDisconnected")
    return 1;
  if (body == "YouLose" || body == "IllegalMove") return -1;
  return 0;
}

void print_action_number(Vorak const& game) {
  std::cout << "Round: " << (game.move_count == 0 ? 1 : game.move_count) << std::endl;
}

}  // namespace

int play_game(std::string const& address, unsigned short const& port, unsigned short const& time) {
  // The chat reply changes wording after the first one of the whole run, not of each game.
  static bool first = true;

  try {
    std::cout << "Let the game begin!\n" << std::endl;
    std::cout << "Attempting to open a connection with the Corvane Game Manager at " << address
              << ":" << port << std::flush;
    SocketClient client(address, port);
    Vorak game(time);
    bool have_board = false;

    std::string line;
    std::string type;
    std::string body;
    std::string move;
    for (;;) {
      line = client.ReceiveLine();
      // Every complete line ends in a line feed; anything else means the peer is gone, and
      // reading on would only return empty texts forever.
      if (line.empty() || line.back() != '\n')
        throw std::string(line.empty() ? "the connection was closed"
                                       : "the connection was closed in the middle of a line");
      boost::algorithm::trim(line);
      if (line.empty()) continue;

      std::cout << "Received the following message: " << line << std::endl;
      std::string::size_type const brace = line.find('{');
      if (brace == std::string::npos) {
        // Not a message at all; it must not be taken for a repeat of the previous one.
        std::cerr << "I don't understand that type of message." << std::endl;
        continue;
      }
      type = line.substr(0, brace);
      body = line.substr(brace + 1);
      if (!body.empty()) body.pop_back();

      if (type == "Move") {
        print_action_number(game);
        if (!body.empty()) check_server_move(game, body);
        game.translate_move_from_cgm(body);
        game.execute_move(body, true);
        game.print_piece_counts();
      } else if (type == "YourTurn") {
        // Searching an unfilled board, or for no colour, would send nonsense to the server.
        if (!have_board) throw std::string("the server asked for a move before sending the board");
        if (game.own_player == NONE)
          throw std::string("the server asked for a move before telling me my colour");
        print_action_number(game);
        move = game.monte_carlo();
        std::cout << "Making move: " << move;
        game.translate_move_to_cgm(move);
        std::cout << " (" << move << ")" << std::endl;
        client.SendLine("Move{" + move + "}\r");
        game.translate_move_from_cgm(move);
        game.execute_move(move, true);
        game.print_piece_counts();
      } else if (type == "Chat") {
        client.SendLine(
            first ? "Chat{Dravix Bot silently ignores your feeble mumbling.}"
                  : "Chat{Dravix Bot continues to silently ignore your feeble mumblings.}");
        first = false;
      } else if (type == "BoardState") {
        game.create_board(body);
        have_board = true;
        game.print_piece_counts();
      } else if (type == "GameOver") {
        return outcome(body);
      } else if (type == "YourPlayerNumber") {
        game.own_player = body == "One" ? WHITE : BLACK;
        std::cout << "I am the " << (game.own_player == WHITE ? "White" : "Black") << " player."
                  << std::endl;
      } else if (type == "Version") {
        // Nothing to do beyond the echo.
      } else {
        std::cerr << "I don't understand that type of message." << std::endl;
      }
    }
  } catch (char const* text) {
    std::cerr << FAILURE_PREFIX << text << std::endl;
  } catch (std::string const& text) {
    std::cerr << FAILURE_PREFIX << text << std::endl;
  } catch (BadMove const& bad) {
    std::cerr << FAILURE_PREFIX << bad.text << std::endl;
  } catch (...) {
    std::cerr << FAILURE_PREFIX << "Unknown Error" << std::endl;
  }
  return 0;
}
