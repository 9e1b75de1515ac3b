#include "manager/series.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "manager/command_seat.h"
#include "manager/draw.h"
#include "manager/duel.h"
#include "manager/interrupt.h"
#include "manager/parallel.h"
#include "manager/record.h"
#include "manager/seat_settings.h"
#include "manager/setup.h"
#include "manager/web/opened_record.h"
#include "manager/web/web_game.h"
#include "manager/web/web_server.h"

namespace manager {

namespace {

// "127.0.0.1:2525", or "[::1]:2525" for an IPv6 address, whose colons would run into the port's.
std::string host_and_port(std::string const& host, int port) {
  bool const v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
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

// Where a cmd seat's program writes in game `g`: beside the record (or in the current folder
// without one), "RECORD-game-G-white.log"; nowhere when quiet.
std::string program_log(Options const& options, int g, Players colour) {
  if (options.quiet) return "";
  std::string base = options.record_file.empty() ? "vorak-manager" : options.record_file;
  if (base.size() > 5 && base.compare(base.size() - 5, 5, ".json") == 0)
    base.resize(base.size() - 5);
  return base + "-game-" + std::to_string(g) + "-" + (colour == WHITE ? "white" : "black") + ".log";
}

// How long a new connection has to show itself as a web page's: a browser sends its request at
// once, while a real client says nothing until its first turn.
constexpr int FIRST_LINE_GRACE_MS = 100;

// Seats the TCP clients of one game, refusing connections that are no client of the game.
struct Lobby {
  SocketServer& server;
  Options const& options;
  std::ostream& out;
  Logger const& log;
  LiveGame* live;

  // Fills clients[c] for every colour c with want[c], White first. A connection that is refused
  // (before the game, for the first line of an HTTP request or a close) frees its seat for the
  // next. False when no client came for colour `missing` within the connect limit (counted
  // from the first wait for it), or when the series was interrupted.
  bool seat(bool const want[2], std::unique_ptr<TcpSeat> clients[2], int& missing) {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> deadline[2];
    for (;;) {
      for (int c = 0; c < 2; ++c) {
        if (!want[c]) continue;
        while (!clients[c]) {
          std::string const waiting = "Waiting for " + colour_name(colour(c)) + " to connect to " +
                                      host_and_port(options.address, server.Port());
          out << waiting << "\n" << std::flush;
          if (live) live->set_status(waiting);
          int timeout = -1;
          if (options.connect_limit_ms >= 0) {
            if (!deadline[c])
              deadline[c] = Clock::now() + std::chrono::milliseconds(options.connect_limit_ms);
            timeout = static_cast<int>(std::max<long long>(
                0,
                std::chrono::duration_cast<std::chrono::milliseconds>(*deadline[c] - Clock::now())
                    .count()));
          }
          std::unique_ptr<Socket> socket = accept_client(server, timeout);
          if (!socket) {
            missing = c;
            return false;
          }
          clients[c] = std::make_unique<TcpSeat>(std::move(socket), log);
          admit(c, clients[c], FIRST_LINE_GRACE_MS);
        }
      }
      // A client seated earlier may have shown itself while the next one was awaited.
      bool all = true;
      for (int c = 0; c < 2; ++c)
        if (want[c] && !admit(c, clients[c], 0)) all = false;
      if (all) return true;
    }
  }

 private:
  static Players colour(int c) { return c == 0 ? WHITE : BLACK; }

  bool admit(int c, std::unique_ptr<TcpSeat>& client, int wait_ms) {
    std::string why;
    if (client->admit(wait_ms, why)) return true;
    out << "Refused a connection for " << colour_name(colour(c)) << ": " << why << "\n"
        << std::flush;
    client.reset();
    return false;
  }
};

}  // namespace

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
  std::optional<OpenedRecord> opened;
  if (!options.open_file.empty()) {
    std::string error;
    opened = open_record(options.open_file, error);
    if (!opened) {
      err << "vorak-manager: " << error << "\n";
      return 2;
    }
  }
  // A record that cannot be written is found before the first game, not after the last.
  std::optional<RecordFile> record_file;
  if (!options.record_file.empty()) {
    record_file.emplace(options.record_file);
    std::string error;
    if (!record_file->open(error)) {
      err << "vorak-manager: --record: " << error << "\n";
      return 2;
    }
  }

  out << "Seed: " << seed << "\n";

  std::string const names[2] = {seat_label(options.white, options.white_settings),
                                seat_label(options.black, options.black_settings)};
  std::string const labels[2] = {names[0] == names[1] ? names[0] + "-1" : names[0],
                                 names[1] == names[0] ? names[1] + "-2" : names[1]};
  SeatKind const kinds[2] = {options.white, options.black};
  SeatSettings const* const given[2] = {&options.white_settings, &options.black_settings};
  BotSettings const bots[2] = {bot_settings(options.white_settings, options.bot_seconds),
                               bot_settings(options.black_settings, options.bot_seconds)};
  // Searches side by side must not print: their reports would interleave.
  bool const quiet_seats = options.quiet || options.jobs > 1;

  int status = 0;
  bool started = false;  // the seats' port and the page are up
  // Running figures, not the games: a series of any length keeps the same memory.
  SeriesStats stats;
  DuelScore score = duel_score({}, labels[0], options.pairs);
  auto write = [&](bool now) {
    std::string error;
    auto const tail = [&] {
      return Json{{"summary", summary_json(stats)},
                  {"duel", duel_json(score, labels[0], labels[1], options.sprt)}};
    };
    if (record_file && !record_file->update(seed, tail, now, error)) {
      err << "vorak-manager: " << error << "\n";
      status = 1;
    }
  };
  // Declared before the web server, which serves it until the end.
  std::unique_ptr<LiveGame> live;
  if (options.web_port) live = std::make_unique<LiveGame>(options.first_game + options.games - 1);
  // A person's turn waits on the page; an interruption must wake it.
  Interruption interruption(live ? std::function<void()>([&live] { live->close(); }) : nullptr);
  std::unique_ptr<WebServer> web;
  try {
    if (live) {
      web = std::make_unique<WebServer>(*live, static_cast<unsigned short>(*options.web_port));
      if (opened) web->show(*opened);
      out << "Board on " << web->address() << "\n";
      if (opened) out << "The page shows the record " << options.open_file << "\n";
    }
    std::unique_ptr<SocketServer> server;
    if (options.games > 0 && (options.white == SeatKind::TCP || options.black == SeatKind::TCP)) {
      server = std::make_unique<SocketServer>(options.port, 2, options.address);
      out << "Listening on " << host_and_port(options.address, server->Port()) << "\n";
    }
    out << std::flush;
    started = true;

    // Games are numbered from --first-game, and "of N" counts to the last of them.
    int const last_game = options.first_game + options.games - 1;
    ConsoleObserver console(out, options.quiet, last_game);
    BothObservers observer(console, live.get());
    Logger log = [&](std::string const& line) {
      if (!options.quiet) out << line << "\n" << std::flush;
    };

    // Plays game g, told to `game_observer`, with the seats' notices to `notes`; nullopt when
    // the series must end before it (no client came, or an interruption while seating).
    auto play_game = [&](int g, MatchObserver& game_observer,
                         std::ostream& notes) -> std::optional<GameRecord> {
      // Seat 0 is the one the command line gave White; with --alternate it plays Black in
      // every even game.
      int const white_seat = options.alternate && g % 2 == 0 ? 1 : 0;
      GameRecord record;
      record.game = g;
      record.white = labels[white_seat];
      record.black = labels[1 - white_seat];
      // Game g's random setup comes from seed + g - 1, so any game can be set up again alone;
      // with pairs, games 2k - 1 and 2k share seed + k - 1.
      int const setup = options.pairs ? (g - 1) / 2 : g - 1;
      if (!board) record.setup_seed = seed + static_cast<std::uint32_t>(setup);
      Vorak const start = board ? *board : random_setup(*record.setup_seed);

      MatchSettings settings;
      bool want_client[2] = {false, false};
      for (int colour = 0; colour < 2; ++colour) {
        SeatKind const kind = kinds[colour == 0 ? white_seat : 1 - white_seat];
        settings.seat_limit_ms[colour] = options.action_limit_for(kind);
        want_client[colour] = kind == SeatKind::TCP;
      }
      // Kept over a game played again, unless they are the reason for it.
      std::unique_ptr<TcpSeat> clients[2];
      GameRecord const blank = record;
      for (;;) {
        int missing = -1;
        if (server) {
          Lobby lobby{*server, options, out, log, live.get()};
          if (!lobby.seat(want_client, clients, missing)) {
            if (!Interruption::requested()) {
              err << "vorak-manager: no client connected as " << (missing == 0 ? "White" : "Black")
                  << " within " << seconds_text(options.connect_limit_ms / 1000.0)
                  << " s; the series ends\n";
              status = 1;
            }
            return std::nullopt;
          }
          // Before the game began: nothing to record.
          if (Interruption::requested()) return std::nullopt;
        }

        Logger const game_log = [&](std::string const& line) {
          if (!options.quiet) notes << line << "\n" << std::flush;
        };
        // Both programs start at once and are ended when the game is (or on the way out).
        std::unique_ptr<CommandSeat> programs[2];  // by colour
        for (int colour = 0; colour < 2; ++colour) {
          int const seat = colour == 0 ? white_seat : 1 - white_seat;
          if (kinds[seat] != SeatKind::COMMAND) continue;
          Players const p = colour == 0 ? WHITE : BLACK;
          programs[colour] = std::make_unique<CommandSeat>(
              given[seat]->command, options.bot_seconds, program_log(options, g, p));
          game_log("Waiting for " + colour_name(p) + "'s program to connect to " +
                   host_and_port("127.0.0.1", programs[colour]->port()));
        }

        std::unique_ptr<Seat> owned[2];  // by colour: White, Black
        Seat* seats[2] = {nullptr, nullptr};
        for (int colour = 0; colour < 2; ++colour) {
          int const seat = colour == 0 ? white_seat : 1 - white_seat;
          if (programs[colour]) {
            owned[colour] = programs[colour]->seat(colour_name(colour == 0 ? WHITE : BLACK),
                                                   options.connect_limit_ms, game_log);
            if (!owned[colour]) return std::nullopt;  // interrupted
          } else if (clients[colour]) {
            seats[colour] = clients[colour].get();
          } else if (kinds[seat] == SeatKind::HUMAN) {
            if (!live) throw std::string("a human seat plays on the page of --web, which is off");
            owned[colour] = std::make_unique<HumanSeat>(*live);
          } else {
            // Each game and seat gets its own stream of the series' seed.
            std::uint32_t const player_seed =
                seed ^ (0x9E3779B9u * static_cast<std::uint32_t>(2 * g + seat));
            auto builtin =
                std::make_unique<BuiltinSeat>(kinds[seat], player_seed, bots[seat], quiet_seats);
            // A bot's search is shown on the page while one is open.
            if (live)
              builtin->show_thinking(
                  [&live](Players p, Thought const& thought) { live->on_thinking(p, thought); },
                  [&live] { return live->watched(); });
            owned[colour] = std::move(builtin);
          }
          if (owned[colour]) seats[colour] = owned[colour].get();
        }
        play_match(start, *seats[0], *seats[1], settings, record, &game_observer);
        for (std::unique_ptr<CommandSeat>& program : programs)
          if (program) program->end();
        if (record.not_a_client == NONE) return record;
        // Never scored: the same setup is played again, with the next client in that seat.
        notes << "Game " << g << " is not counted: " << record.detail
              << "; it is played again from the same setup\n"
              << std::flush;
        for (int colour = 0; colour < 2; ++colour) {
          bool const told = !record.actions.empty();  // it heard NoContest and was closed
          if (clients[colour] && (colour == (record.not_a_client == WHITE ? 0 : 1) || told ||
                                  !clients[colour]->connected()))
            clients[colour].reset();
        }
        record = blank;
      }
    };

    std::mutex console_mutex;
    std::atomic<bool> ended_early{false};
    GameRun run;
    run.games = options.games;
    run.jobs = options.jobs;
    run.play = [&](int g) {
      std::optional<GameRecord> record;
      if (options.jobs <= 1) {
        record = play_game(options.first_game + g - 1, observer, out);
      } else {
        // Each game's account is printed whole once it ends, so that games do not interleave.
        std::ostringstream account;
        ConsoleObserver game_console(account, options.quiet, last_game);
        record = play_game(options.first_game + g - 1, game_console, account);
        std::lock_guard<std::mutex> lock(console_mutex);
        out << account.str() << std::flush;
      }
      if (!record) {
        // Delivered as a game that never was: it ends the series without being kept.
        ended_early = true;
        GameRecord none;
        none.game = 0;
        return none;
      }
      return *record;
    };
    run.deliver = [&](GameRecord const& record) {
      if (record.game == 0) return false;
      add_to_stats(stats, record);
      add_to_score(score, record, labels[0]);
      std::string error;
      if (record_file && !record_file->add(record, error)) {
        err << "vorak-manager: " << error << "\n";
        status = 1;
      }
      write(false);  // the last game is written below, with everything else at the end
      if (options.games > 1) {
        std::lock_guard<std::mutex> lock(console_mutex);
        out << running_text(score, stats.games, options.games, options.sprt) << "\n" << std::flush;
      }
      // The test ends the series as soon as it has a verdict, with pairs only after a whole one.
      if (!options.sprt || (options.pairs && record.game % 2 == 1)) return true;
      return sprt_verdict(duel_llr(score, *options.sprt)) == SprtVerdict::GOING_ON;
    };
    run.stop = [&] { return ended_early || Interruption::requested(); };
    play_in_order(run);
  } catch (std::string const& text) {
    err << "vorak-manager: " << text << "\n";
    status = 1;
  } catch (char const* text) {
    err << "vorak-manager: " << text << "\n";
    status = 1;
  }
  if (!started) return status;

  int const signal = Interruption::signal_number();
  if (signal != 0) out << "\nInterrupted: the series ends here.\n";
  write(true);
  out << "\n" << results_table(stats);
  if (options.games > 0) out << "\n" << duel_text(score, labels[0], labels[1], options.sprt);
  out << std::flush;
  if (web) {
    live->series_over();
    if (signal == 0) {
      out << "The board stays on " << web->address()
          << " until the program is interrupted (Ctrl-C).\n"
          << std::flush;
      interruption.wait();
    }
  }
  return signal != 0 ? 128 + signal : status;
}

}  // namespace manager
