// The Vorak game state and every rule of the game, plus the move choice that plays on it.
#ifndef DRAVIX_GAME_VORAK_H
#define DRAVIX_GAME_VORAK_H

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

enum Players : std::int32_t { NONE = 0, WHITE = 1, BLACK = 2 };

// The colour that plays against `p`: BLACK for WHITE, WHITE for anything else. A caller that
// may hold NONE and means "no opponent" by it tests for NONE first.
constexpr Players opponent_of(Players p) {
  return p == WHITE ? BLACK : WHITE;
}
static_assert(opponent_of(WHITE) == BLACK && opponent_of(BLACK) == WHITE);

// A stack counts as the kind of its top piece; BLOCK marks the cells outside the hexagon.
enum Pieces : std::int32_t { BLANK = 0, VORAK = 1, MORIEL = 2, WEMM = 3, BLOCK = 4 };

// Categories that filter which targets the legality test accepts.
enum Actions : std::int32_t {
  ANY = 0,
  CAPTURE = 1,
  CAPTURE_VORAK = 2,
  CAPTURE_MORIEL = 3,
  CAPTURE_WEMM = 4,
  STACK_VORAK_PLENTY = 5,
  STACK_MORIEL_PLENTY = 6,
  STACK_WEMM_PLENTY = 7,
  STACK_VORAK = 8,
  STACK_MORIEL = 9,
  STACK_WEMM = 10,
  STACK_STRONG_PLENTY = 11
};

struct Entry {
  Players owner;          // NONE for empty and blocked cells
  Pieces piece;           // kind of the top piece, BLANK or BLOCK
  unsigned short height;  // pieces in the stack, 0 for empty and blocked cells
};

// Thrown by execute_move for a move that does not go from a stack onto a stack on the board.
struct BadMove {
  std::string text;
};

// The whole state of one game: a plain value that playouts copy freely.
class Vorak {
 public:
  static constexpr unsigned short SIZE = 9;  // the board is a SIZE x SIZE array, row first

  unsigned short move_count;  // actions executed; the first one jumps from 0 to 2
  Players own_player;         // the colour this program plays, NONE until the server says
  unsigned short white_voraks;
  unsigned short white_moriels;
  unsigned short white_wemms;
  unsigned short black_voraks;
  unsigned short black_moriels;
  unsigned short black_wemms;
  std::uint32_t playouts;  // tallies of the current search
  std::uint32_t wins;
  std::uint32_t losses;
  unsigned short seconds_per_move;
  Entry board[SIZE][SIZE];

  // Board model and printing (game/board.cpp)
  explicit Vorak(unsigned short const& seconds_per_move);
  Vorak(Vorak const&) = default;
  Vorak& operator=(Vorak const&) = default;
  Players is_game_over() const;
  std::string get_text_entry(unsigned short const& row, unsigned short const& column) const;
  void print_board_state() const;
  void print_piece_counts() const;
  // The counter of `owner`'s stacks topped by `piece`; both must name a real colour and kind.
  unsigned short& counter(Players owner, Pieces piece);
  unsigned short counter(Players owner, Pieces piece) const;

  // Board description (game/parse.cpp)
  void create_board(std::string& description);
  Entry get_entry(std::string const& group);

  // Move execution (game/execute.cpp). Throws boost::bad_lexical_cast for a non-digit and
  // BadMove for a move that is not from a stack onto a stack of the board.
  void execute_move(std::string const& move, bool const& verbose);

  // Move generation (game/movegen.cpp)
  void is_move_valid(bool& valid, unsigned short const& from_row, unsigned short const& from_column,
                     unsigned short const& to_row, unsigned short const& to_column,
                     unsigned short const& step, Actions const& action) const;
  void get_moves_for_piece(std::vector<std::string>& moves, unsigned short const& row,
                           unsigned short const& column, unsigned short const& step,
                           Actions const& action) const;
  void get_moves_by_action(std::vector<std::string>& moves, Players const& player,
                           unsigned short const& step, Actions const& action) const;
  // Expects `moves` empty: the fall-backs test whether the whole list is still empty.
  void get_moves(std::vector<std::string>& moves, Players const& player,
                 unsigned short const& step) const;

  // Position assessment (game/assess.cpp)
  int is_winning(bool const& verbose) const;

  // Move choice (ai/)
  std::string random_ai();
  std::string get_best_move();
  std::string monte_carlo();

  // Server notation (match/notation.cpp, on the conversions of game/notation.h)
  void translate_move_to_cgm(std::string& move) const;
  void translate_move_from_cgm(std::string& move) const;

  // 1 for the first action of a turn, 2 for the second.
  unsigned short step() const { return (move_count % 2 == 1) ? 2 : 1; }
};

static_assert(std::is_trivially_copyable_v<Vorak>, "playouts copy the state flat");
static_assert(sizeof(Vorak) <= 1024, "the state is copied once per playout");

// The legal actions of `player` for the action now due on `state` (game/movegen.cpp): any
// capture to open a turn; any capture, permitted stacking, or the pass ("") as the second action.
// Unlike get_moves this list is not narrowed by the bot's preferences: it is what a referee
// accepts.
std::vector<std::string> legal_actions(Vorak const& state, Players player);

// Writes one line to standard output.
void log(std::string message);

// True when the cell holds a stack: a colour and a kind of top piece.
inline bool holds_stack(Entry const& e) {
  return (e.owner == WHITE || e.owner == BLACK) &&
         (e.piece == VORAK || e.piece == MORIEL || e.piece == WEMM);
}

// The name of a kind as the board description writes it ("Vorak", "Moriel", "Wemm"); empty
// for anything that is not a kind of piece.
inline char const* piece_name(Pieces piece) {
  switch (piece) {
    case VORAK:
      return "Vorak";
    case MORIEL:
      return "Moriel";
    case WEMM:
      return "Wemm";
    default:
      return "";
  }
}

#endif
