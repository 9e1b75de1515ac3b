#include "manager/series.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "manager/draw.h"
#include "manager/duel.h"
#include "manager/parallel.h"
#include "manager/record.h"
#include "manager/seat_spec.h"
#include "manager/setup.h"
#include "manager/web_game.h"
#include "manager/web_server.h"

namespace manager {

namespace {

std::string seat_label(Players p, GameRecord const& game) {
  return colour_name(p) + " (" + (p == WHITE ? game.white : game.black) + ")";
}

// Tells the console and, with --web, the page.
class BothObservers : public MatchObserver {
 public:
  BothObservers(MatchObserver& first, MatchObserver* second) : first_(first), second_(second) {}
  void on_start(GameRecord const& game, Vorak const& position) override {
    first_.on_start(game, position);
    if (second_ != nullptr) second_->on_start(game, position);
  }
  void on_request(GameRecord const& game, ActionRecord const& due, Vorak const& position) override {
    first_.on_request(game, due, position);
    if (second_ != nullptr) second_->on_request(game, due, position);
  }
  void on_action(GameRecord const& game, ActionRecord const& action,
                 Vorak const& position) override {
    first_.on_action(game, action, position);
    if (second_ != nullptr) second_->on_action(game, action, position);
  }
  void on_end(GameRecord const& game, Vorak const& position) override {
    first_.on_end(game, position);
    if (second_ != nullptr) second_->on_end(game, position);
  }

 private:
  MatchObserver& first_;
  MatchObserver* second_;
};

}  // namespace

std::string result_line(GameRecord const& game) {
  std::string line = "Game " + std::to_string(game.game) + ": ";
  if (game.winner == NONE) {
    line += "no result (" + game.detail + ")";
  } else {
    line += seat_label(game.winner, game) + " beat " + seat_label(opponent(game.winner), game) +
            " by " + reason_name(game.reason) + ": " + game.detail;
  }
  return line + "; " + std::to_string(game.actions.size()) + " actions";
}

void ConsoleObserver::on_start(GameRecord const& game, Vorak const& position) {
  if (quiet_) return;
  out_ << "\n=== Game " << game.game << " of " << games_ << ": White is " << game.white
       << ", Black is " << game.black << " ===\n"
       << draw_board(position) << "White to open with a single action.\n"
       << std::flush;
}

void ConsoleObserver::on_action(GameRecord const&, ActionRecord const& action,
                                Vorak const& position) {
  if (quiet_) return;
  out_ << "\nAction " << action.number << ": " << colour_name(action.player) << " plays "
       << (action.move.empty() ? "a pass" : action.move + " (" + action.kind + ")") << " in "
       << seconds_text(action.seconds) << " s\n"
       << draw_board(position, action.move) << std::flush;
}

void ConsoleObserver::on_end(GameRecord const& game, Vorak const&) {
  out_ << (quiet_ ? "" : "\n") << result_line(game) << "\n" << std::flush;
}

int run_series(Options const& options, std::ostream& out, std::ostream& err) {
  std::uint32_t const seed =
      options.seed ? *options.seed
                   : static_cast<std::uint32_t>(
                         std::random_device{}() ^
                         static_cast<std::uint32_t>(
                             std::chrono::system_clock::now().time_since_epoch().count()));
  std::optional<Vorak> board;
  if (!options.board_file.empty()) {
    std::string error;
    board = read_board_file(options.board_file, error);
    if (!board) {
      err << "vorak-manager: " << error << "\n";
      return 2;
    }
  }

  out << "Seed: " << seed << "\n";

  std::string const names[2] = {seat_label(options.white, options.white_settings),
                                seat_label(options.black, options.black_settings)};
  std::string const labels[2] = {names[0] == names[1] ? names[0] + "-1" : names[0],
                                 names[1] == names[0] ? names[1] + "-2" : names[1]};
  SeatKind const kinds[2] = {options.white, options.black};
  BotSettings const bots[2] = {bot_settings(options.white_settings, options.bot_seconds),
                               bot_settings(options.black_settings, options.bot_seconds)};
  // Searches side by side must not print: their reports would interleave.
  bool const quiet_seats = options.quiet || options.jobs > 1;

  int status = 0;
  std::vector<GameRecord> games;
  // Declared before the web server, which serves it until the end.
  std::unique_ptr<LiveGame> live;
  std::unique_ptr<WebServer> web;
  try {
    if (options.web_port) {
      live = std::make_unique<LiveGame>(options.games);
      web = std::make_unique<WebServer>(*live, static_cast<unsigned short>(*options.web_port));
      out << "Board on http://127.0.0.1:" << web->port() << "/\n";
    }
    std::unique_ptr<SocketServer> server;
    if (options.games > 0 && (options.white == SeatKind::TCP || options.black == SeatKind::TCP)) {
      server = std::make_unique<SocketServer>(options.port, 2, options.address);
      out << "Listening on " << options.address << ":" << server->Port() << "\n";
    }
    out << std::flush;

    ConsoleObserver console(out, options.quiet, options.games);
    BothObservers observer(console, live.get());
    MatchSettings settings;
    settings.action_limit_ms = options.action_limit_ms;
    Logger log = [&](std::string const& line) {
      if (!options.quiet) out << line << "\n" << std::flush;
    };

    // Plays game g, told to `game_observer`.
    auto play_game = [&](int g, MatchObserver& game_observer) {
      // Seat 0 is the one the command line gave White; with --alternate it plays Black in
      // every even game.
      int const white_seat = options.alternate && g % 2 == 0 ? 1 : 0;
      GameRecord record;
      record.game = g;
      record.white = labels[white_seat];
      record.black = labels[1 - white_seat];
      // Game g's random setup comes from seed + g - 1, so any game can be set up again alone.
      if (!board) record.setup_seed = seed + static_cast<std::uint32_t>(g - 1);
      Vorak const start = board ? *board : random_setup(*record.setup_seed);

      std::unique_ptr<Seat> seats[2];  // by colour: White, Black
      for (int colour = 0; colour < 2; ++colour) {
        int const seat = colour == 0 ? white_seat : 1 - white_seat;
        if (kinds[seat] == SeatKind::TCP) {
          std::string const waiting = std::string("Waiting for ") +
                                      (colour == 0 ? "White" : "Black") + " to connect to " +
                                      options.address + ":" + std::to_string(server->Port());
          out << waiting << "\n" << std::flush;
          if (live) live->set_status(waiting);
          seats[colour] = std::make_unique<TcpSeat>(accept_client(*server, -1), log);
        } else if (kinds[seat] == SeatKind::HUMAN) {
          if (!live) throw std::string("a human seat plays on the page of --web, which is off");
          seats[colour] = std::make_unique<HumanSeat>(*live);
        } else {
          // Each game and seat gets its own stream of the series' seed.
          std::uint32_t const player_seed =
              seed ^ (0x9E3779B9u * static_cast<std::uint32_t>(2 * g + seat));
          seats[colour] =
              std::make_unique<BuiltinSeat>(kinds[seat], player_seed, bots[seat], quiet_seats);
        }
      }
      play_match(start, *seats[0], *seats[1], settings, record, &game_observer);
      return record;
    };

    std::mutex console_mutex;
    GameRun run;
    run.games = options.games;
    run.jobs = options.jobs;
    run.play = [&](int g) {
      if (options.jobs <= 1) return play_game(g, observer);
      // Each game's account is printed whole once it ends, so that games do not interleave.
      std::ostringstream account;
      ConsoleObserver game_console(account, options.quiet, options.games);
      GameRecord record = play_game(g, game_console);
      std::lock_guard<std::mutex> lock(console_mutex);
      out << account.str() << std::flush;
      return record;
    };
    run.deliver = [&](GameRecord const& record) {
      games.push_back(record);
      DuelScore const score = duel_score(games, labels[0]);
      if (!options.record_file.empty()) {
        Json json = series_json(games, seed);
        json["duel"] = duel_json(score, labels[0], labels[1], options.sprt);
        std::string error;
        if (!write_record(options.record_file, json, error)) {
          err << "vorak-manager: " << error << "\n";
          status = 1;
        }
      }
      // The test ends the series as soon as it has a verdict.
      return !options.sprt ||
             sprt_verdict(sprt_llr(score.tally, *options.sprt)) == SprtVerdict::GOING_ON;
    };
    play_in_order(run);
  } catch (std::string const& text) {
    err << "vorak-manager: " << text << "\n";
    return 1;
  } catch (char const* text) {
    err << "vorak-manager: " << text << "\n";
    return 1;
  }

  out << "\n" << results_table(summarize(games));
  if (options.games > 0)
    out << "\n" << duel_text(duel_score(games, labels[0]), labels[0], labels[1], options.sprt);
  out << std::flush;
  if (web) {
    live->series_over();
    out << "The board stays on http://127.0.0.1:" << web->port()
        << "/ until the program is interrupted (Ctrl-C).\n"
        << std::flush;
    web->wait_for_interrupt();
  }
  return status;
}

}  // namespace manager
