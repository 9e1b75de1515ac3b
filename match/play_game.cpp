// The match loop: one game against the Corvane Game Manager, one line per message.
#include <iostream>
#include <string>

#include <boost/algorithm/string/trim.hpp>

#include "game/vorak.h"
#include "match/match.h"
#include "match/move_check.h"
#include "match/printable.h"
#include "net/socket.h"

namespace {

constexpr char const* FAILURE_PREFIX = "Unable to connect to the Corvane Game Manager: ";
// A reply line is tiny, so a server that takes none of it for this long has stopped reading.
constexpr int SEND_TIMEOUT_MS = 30000;

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
    // A server that stops reading our replies would otherwise hold the bot in a send for ever.
    client.SetSendTimeout(SEND_TIMEOUT_MS);
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
      if (line.empty()) throw std::string("the connection was closed");
      bool const unterminated = line.back() != '\n';
      boost::algorithm::trim(line);
      // A server may close right after its last message without ending the line: a whole
      // message ("GameOver{YouWin}") still counts, half of one does not.
      if (unterminated &&
          (line.empty() || line.back() != '}' || line.find('{') == std::string::npos))
        throw std::string("the connection was closed in the middle of a line");
      if (line.empty()) continue;

      std::cout << "Received the following message: " << client_text(line) << std::endl;
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
        bool const first_reply = first;
        // Cleared before sending: a reply that cannot be sent still used up the first wording.
        first = false;
        client.SendLine(
            first_reply ? "Chat{Dravix Bot silently ignores your feeble mumbling.}"
                        : "Chat{Dravix Bot continues to silently ignore your feeble mumblings.}");
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
