// The live board's server side: the state messages, the human seat and its refusals, the
// replay of records, and the HTTP and WebSocket answers on 127.0.0.1 (through Beast's client).
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "game/geometry.h"
#include "game/setup.h"
#include "manager/match.h"
#include "manager/record.h"
#include "manager/referee.h"
#include "manager/seat.h"
#include "manager/series.h"
#include "manager/setup.h"
#include "manager/web/analysis.h"
#include "manager/web/analysis_board.h"
#include "manager/web/opened_record.h"
#include "manager/web/web_game.h"
#include "manager/web/web_server.h"
#include "tests/support/scratch.h"

using namespace manager;
namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

namespace {

// Collects the state messages that a LiveGame publishes; every wait gives up after 10 s, so
// a fault fails the test instead of hanging it.
class Inbox {
 public:
  // Fetches the state at every change, as a page that is always ready for one would.
  explicit Inbox(LiveGame& live) {
    live.set_listener([this, &live] {
      LiveGame::Message const m = live.state();
      std::lock_guard<std::mutex> lock(mutex_);
      if (!all_.empty() && all_.back()["seq"].get<std::uint64_t>() >= m.seq) return;
      all_.push_back(Json::parse(*m.text));
      arrived_.notify_all();
    });
  }
  // The first state from `from` on that satisfies `wanted`, or null.
  template <typename Predicate>
  Json wait(Predicate wanted, std::size_t& from) {
    std::unique_lock<std::mutex> lock(mutex_);
    Json found;
    arrived_.wait_for(lock, std::chrono::seconds(10), [&] {
      for (; from < all_.size(); ++from) {
        if (wanted(all_[from])) {
          found = all_[from++];
          return true;
        }
      }
      return false;
    });
    return found;
  }
  std::vector<Json> all() {
    std::lock_guard<std::mutex> lock(mutex_);
    return all_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Json> all_;
};

GameRecord played_game(std::uint32_t seed, MatchObserver* observer = nullptr) {
  BuiltinSeat white(SeatKind::RANDOM, seed, 1, true);
  BuiltinSeat black(SeatKind::GREEDY, seed + 1, 1, true);
  GameRecord record;
  record.white = "random";
  record.black = "greedy";
  play_match(random_setup(seed), white, black, MatchSettings{}, record, observer);
  return record;
}

// The legal actions of the side to move after `moves`, in server notation.
std::vector<std::string> legal_after(std::uint32_t seed, Json const& moves) {
  Referee referee(random_setup(seed));
  for (Json const& m : moves) referee.submit(m["move"].get<std::string>());
  std::vector<std::string> legal;
  for (std::string const& internal : referee.legal())
    legal.push_back(*to_server_notation(internal));
  return legal;
}

void limit_reads(tcp::socket& socket) {
  timeval limit{10, 0};
  ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

struct Answer {
  unsigned status = 0;
  std::string type;
  std::string body;
};

using Fields = std::vector<std::pair<std::string, std::string>>;

// A POST is JSON unless `fields` say otherwise.
Answer ask(unsigned short port, http::verb verb, std::string const& target,
           std::string const& body = "", std::string host = "", Fields const& fields = {}) {
  asio::io_context ioc;
  tcp::socket socket(ioc);
  socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  limit_reads(socket);
  http::request<http::string_body> request(verb, target, 11);
  request.set(http::field::host, host.empty() ? "127.0.0.1:" + std::to_string(port) : host);
  if (verb == http::verb::post) request.set(http::field::content_type, "application/json");
  for (auto const& [name, value] : fields) request.set(name, value);
  request.body() = body;
  request.prepare_payload();
  http::write(socket, request);
  beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(16 << 20);
  beast::error_code ec;
  http::read(socket, buffer, parser, ec);
  if (ec) return {};
  auto const& response = parser.get();
  return {response.result_int(), std::string(response[http::field::content_type]), response.body()};
}

// `path` with the run's key, as the page asks for it.
std::string with_key(WebServer const& server, std::string const& path) {
  return path + "?key=" + server.key();
}

// A page's WebSocket.
class Page {
 public:
  // The page of the address printed, with its key.
  explicit Page(WebServer const& server, std::string const& origin = "")
      : Page(server.port(), with_key(server, "/live"), origin) {}
  Page(unsigned short port, std::string const& target, std::string const& origin) : ws_(ioc_) {
    ws_.next_layer().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    limit_reads(ws_.next_layer());
    ws_.set_option(websocket::stream_base::decorator([origin](websocket::request_type& r) {
      if (!origin.empty()) r.set(http::field::origin, origin);
    }));
    ws_.control_callback([this](websocket::frame_type kind, beast::string_view) {
      pings_ += kind == websocket::frame_type::ping ? 1 : 0;
    });
    ws_.handshake("127.0.0.1:" + std::to_string(port), target);
  }
  // Pings heard (and answered) while reading.
  int pings() const { return pings_; }
  // Reads on until the connection ends (or reads time out); says why it ended.
  beast::error_code read_until_closed() {
    beast::error_code ec;
    for (int i = 0; i < 1000 && !ec; ++i) {
      beast::flat_buffer buffer;
      ws_.read(buffer, ec);
    }
    return ec;
  }
  Json read() {
    beast::flat_buffer buffer;
    ws_.read(buffer);
    return Json::parse(beast::buffers_to_string(buffer.data()));
  }
  // The next message that is not an older state.
  Json read_other_than_state() {
    for (int i = 0; i < 100; ++i) {
      Json m = read();
      if (m["type"] != "state") return m;
    }
    return {};
  }
  void send(Json const& message) { ws_.write(asio::buffer(message.dump())); }

 private:
  asio::io_context ioc_;
  websocket::stream<tcp::socket> ws_;
  int pings_ = 0;
};

// The connection ended from the server's side, not by the test's own read limit.
bool closed_by_server(beast::error_code ec) {
  return ec && ec != asio::error::would_block && ec != asio::error::try_again;
}

std::string own_origin(unsigned short port) {
  return "http://127.0.0.1:" + std::to_string(port);
}

}  // namespace

TEST(live_state, follows_a_game_from_start_to_result) {
  LiveGame live(1);
  Inbox inbox(live);
  GameRecord const record = played_game(21, &live);
  std::vector<Json> const states = inbox.all();

  ASSERT_GT(states.size(), record.actions.size());
  for (std::size_t i = 1; i < states.size(); ++i) EXPECT_GT(states[i]["seq"], states[i - 1]["seq"]);
  // Every action was shown with the moves up to it.
  std::size_t shown = 0;
  for (Json const& s : states)
    if (s["moves"].size() == shown + 1) ++shown;
  EXPECT_EQ(shown, record.actions.size());

  Json const last = states.back();
  EXPECT_FALSE(last["in_game"]);
  EXPECT_TRUE(last["due"].is_null());
  EXPECT_EQ(last["result"]["winner"], record.winner == WHITE ? "white" : "black");
  EXPECT_EQ(last["result"]["reason"], reason_name(record.reason));
  EXPECT_EQ(last["result"]["detail"], record.detail);
  EXPECT_EQ(last["moves"], game_json(record)["actions"]);
  double think = 0;
  for (ActionRecord const& a : record.actions) think += a.player == BLACK ? a.seconds : 0;
  EXPECT_DOUBLE_EQ(last["think"]["black"].get<double>(), think);

  // The board is the referee's final position, cell by cell in canonical order.
  Referee referee(random_setup(21));
  for (ActionRecord const& a : record.actions) referee.submit(a.move);
  Json const& cells = last["position"]["cells"];
  ASSERT_EQ(cells.size(), 60u);
  for (std::size_t p = 0; p < 60; ++p) {
    int const c = geometry::PLAYABLE[p];
    Entry const& e = referee.position().board[geometry::row_of(c)][geometry::column_of(c)];
    if (e.piece == BLANK) {
      EXPECT_TRUE(cells[p].is_null()) << p;
    } else {
      EXPECT_EQ(cells[p]["owner"], e.owner == WHITE ? "white" : "black") << p;
      EXPECT_EQ(cells[p]["kind"], e.piece == VORAK    ? "Vorak"
                                  : e.piece == MORIEL ? "Moriel"
                                                      : "Wemm");
      EXPECT_EQ(cells[p]["height"], e.height) << p;
    }
  }
  for (Players side : {WHITE, BLACK}) {
    Json const& t = last["position"]["tallies"][side == WHITE ? "white" : "black"];
    EXPECT_EQ(t["Vorak"], referee.position().counter(side, VORAK));
    EXPECT_EQ(t["Moriel"], referee.position().counter(side, MORIEL));
    EXPECT_EQ(t["Wemm"], referee.position().counter(side, WEMM));
  }
}

// The test plays the page's part for White: it refuses what is not legal for the action due
// and plays what is, and offers of a stale page change nothing.
TEST(human_seat, plays_only_legal_actions_offered_for_the_action_due) {
  constexpr std::uint32_t seed = 5;
  LiveGame live(1);
  Inbox inbox(live);
  EXPECT_NE(live.offer(1, "0,0,0,1").find("No game"), std::string::npos);

  GameRecord record;
  record.white = "human";
  record.black = "random";
  std::thread match([&] {
    HumanSeat white(live);
    BuiltinSeat black(SeatKind::RANDOM, seed, 1, true);
    play_match(random_setup(seed), white, black, MatchSettings{}, record, &live);
  });

  std::size_t from = 0;
  int turns = 0;
  bool refusals_tried = false;
  for (; turns < 200; ++turns) {
    Json const s = inbox.wait(
        [](Json const& m) { return !m["human"].is_null() || !m["result"].is_null(); }, from);
    if (s.is_null() || !s["result"].is_null()) break;
    Json const& human = s["human"];
    int const action = human["action"];
    ASSERT_EQ(human["colour"], "white");
    ASSERT_EQ(action, static_cast<int>(s["moves"].size()) + 1);
    ASSERT_EQ(human["pass"], human["step"] == 2);
    // The page is offered exactly the referee's legal actions.
    std::vector<std::string> offered;
    for (Json const& m : human["legal"]) offered.push_back(m["move"]);
    if (human["pass"]) offered.push_back("");
    EXPECT_EQ(offered, legal_after(seed, s["moves"]));

    if (!refusals_tried && human["step"] == 2) {
      std::string const legal = offered.front();
      EXPECT_NE(live.offer(action - 1, legal).find("out of date"), std::string::npos);
      EXPECT_NE(live.offer(action + 1, legal).find("out of date"), std::string::npos);
      EXPECT_NE(live.offer(action, "0,0,0,0").find("not a legal second action"), std::string::npos);
      EXPECT_NE(live.offer(action, "4,4,4,4,").find("not a move"), std::string::npos);
      EXPECT_NE(live.offer(action, std::string(5000, 'x')).find("not a move"), std::string::npos);
      refusals_tried = true;
    }
    if (human["step"] == 1) {
      EXPECT_NE(live.offer(action, "").find("capture"), std::string::npos);
    }
    // A capture when there is one, else the pass; the pass every third turn it is offered.
    std::string const move =
        human["pass"] && (offered.size() == 1 || turns % 3 == 0) ? "" : offered.front();
    EXPECT_EQ(live.offer(action, move), "") << move;
    // Offered twice: the second is refused, the action having been taken.
    EXPECT_NE(live.offer(action, move), "");
  }
  live.close();  // should the loop above have given up, the seat must not wait for ever
  match.join();

  EXPECT_TRUE(refusals_tried);
  EXPECT_FALSE(record.refused);
  EXPECT_NE(record.reason, Reason::ILLEGAL_MOVE);
  EXPECT_NE(record.winner, NONE);
  int white_actions = 0;
  for (ActionRecord const& a : record.actions) white_actions += a.player == WHITE ? 1 : 0;
  EXPECT_EQ(white_actions, turns);
}

// A bot's search under way is shown, in server notation, until its action is played; and only
// while a page is open is there anyone to show it to.
TEST(live_state, shows_a_search_under_way_until_its_action) {
  LiveGame live(1);
  EXPECT_FALSE(live.watched());
  Inbox inbox(live);
  EXPECT_TRUE(live.watched());
  GameRecord game;
  Vorak const start = random_setup(2);
  ActionRecord due;
  due.number = 1;
  due.player = WHITE;
  live.on_start(game, start);
  live.on_request(game, due, start);
  Thought thought;
  thought.value = 0.25;
  thought.candidates = {{"3233", 7, 2}};
  live.on_thinking(WHITE, thought);
  std::size_t from = 0;
  Json const shown = inbox.wait([](Json const& s) { return !s["thinking"].is_null(); }, from);
  EXPECT_EQ(shown["thinking"]["player"], "white");
  EXPECT_EQ(shown["thinking"]["white"], 0.25);
  EXPECT_EQ(shown["thinking"]["candidates"][0]["move"], "3,2,3,3");
  due.move = "3,2,3,3";
  live.on_action(game, due, start);
  EXPECT_TRUE(Json::parse(*live.state().text)["thinking"].is_null());
}

TEST(human_seat, gives_up_at_the_action_limit_or_when_closed) {
  LiveGame live(1);
  Vorak const start = random_setup(8);
  EXPECT_EQ(live.await_human(WHITE, start, 20).status, Reply::TIMEOUT);

  std::future<Reply> waiting =
      std::async(std::launch::async, [&] { return live.await_human(WHITE, start, -1); });
  // Closing wakes a seat that waits without a limit, and every later one answers at once.
  for (int i = 0; i < 1000 && live.state().text->find("\"human\":null") != std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  live.close();
  ASSERT_EQ(waiting.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(waiting.get().status, Reply::DISCONNECTED);
  EXPECT_EQ(live.await_human(WHITE, start, -1).status, Reply::DISCONNECTED);
}

TEST(replay, gives_every_position_of_a_recorded_game) {
  GameRecord const record = played_game(13);
  Json const replayed = replay_game(game_json(record));
  ASSERT_TRUE(replayed["error"].is_null()) << replayed["error"];
  Json const& frames = replayed["frames"];
  ASSERT_EQ(frames.size(), record.actions.size() + 1);
  Referee referee(random_setup(13));
  for (std::size_t k = 0; k < frames.size(); ++k) {
    EXPECT_EQ(frames[k]["position"], position_json(referee.position())) << k;
    EXPECT_EQ(frames[k]["action"], k + 1);
    if (k < record.actions.size()) {
      EXPECT_EQ(frames[k]["to_move"], record.actions[k].player == WHITE ? "white" : "black");
      EXPECT_EQ(frames[k]["step"], record.actions[k].step);
      referee.submit(record.actions[k].move);
    }
  }
  EXPECT_TRUE(frames.back()["to_move"].is_null());
}

TEST(replay, stops_where_a_record_breaks_the_rules) {
  Json const game = game_json(played_game(17));
  ASSERT_GT(game["actions"].size(), 4u);
  auto broken = [&](auto change) {
    Json g = game;
    change(g);
    return replay_game(g);
  };
  Json r = broken([](Json& g) { g["actions"][3]["move"] = "0,0,0,0"; });
  EXPECT_EQ(r["frames"].size(), 4u);
  EXPECT_NE(r["error"].get<std::string>().find("action 4"), std::string::npos) << r["error"];

  r = broken([](Json& g) {
    g["actions"][2]["player"] = g["actions"][1]["player"] == "white" ? "black" : "white";
  });
  EXPECT_EQ(r["frames"].size(), 3u);
  EXPECT_NE(r["error"].get<std::string>().find("action 3"), std::string::npos) << r["error"];

  r = broken([](Json& g) { g["actions"].push_back(g["actions"].back()); });
  EXPECT_EQ(r["frames"].size(), game["actions"].size() + 1);
  EXPECT_NE(r["error"].get<std::string>().find("goes on"), std::string::npos) << r["error"];

  for (auto change : std::vector<std::function<void(Json&)>>{
           [](Json& g) { g["start"] = "{}"; }, [](Json& g) { g.erase("start"); },
           [](Json& g) { g["actions"] = 3; }, [](Json& g) { g["actions"][0] = "3,2,4,2"; },
           [](Json& g) { g = Json::array(); }}) {
    r = broken(change);
    EXPECT_FALSE(r["error"].is_null());
    EXPECT_LE(r["frames"].size(), 1u);
  }
}

TEST(web_server, serves_the_page_and_refuses_what_is_not_its_own) {
  LiveGame live(1);
  WebServer server(live, 0);
  unsigned short const port = server.port();
  ASSERT_NE(port, 0);

  Answer page = ask(port, http::verb::get, "/");
  EXPECT_EQ(page.status, 200u);
  EXPECT_EQ(page.type, "text/html; charset=utf-8");
  EXPECT_NE(page.body.find("<svg id=\"board\""), std::string::npos);
  EXPECT_NE(page.body.find("app.js"), std::string::npos);
  Answer script = ask(port, http::verb::get, "/app.js?v=1");
  EXPECT_EQ(script.status, 200u);
  EXPECT_EQ(script.type, "text/javascript; charset=utf-8");
  EXPECT_NE(script.body.find("/live"), std::string::npos);
  EXPECT_EQ(ask(port, http::verb::get, "/style.css").type, "text/css; charset=utf-8");

  Answer state = ask(port, http::verb::get, with_key(server, "/state"));
  EXPECT_EQ(state.type, "application/json");
  EXPECT_EQ(Json::parse(state.body)["type"], "state");

  Answer missing = ask(port, http::verb::get, "/../etc/passwd");
  EXPECT_EQ(missing.status, 404u);
  EXPECT_EQ(ask(port, http::verb::get, "/index.htm").status, 404u);
  EXPECT_EQ(ask(port, http::verb::delete_, "/").status, 405u);
  EXPECT_EQ(ask(port, http::verb::get, "/replay").status, 404u);
  // A name that merely resolves here is another site.
  EXPECT_EQ(ask(port, http::verb::get, "/", "", "evil.example:" + std::to_string(port)).status,
            403u);
  EXPECT_EQ(ask(port, http::verb::post, with_key(server, "/replay"),
                std::string(WebServer::MAX_BODY + 1, ' '))
                .status,
            413u);
}

TEST(web_server, replays_a_posted_game) {
  LiveGame live(1);
  WebServer server(live, 0);
  Json const game = game_json(played_game(3));
  // As the page posts it.
  Answer replayed =
      ask(server.port(), http::verb::post, with_key(server, "/replay"), game.dump(), "",
          {{"Origin", own_origin(server.port())},
           {"Sec-Fetch-Site", "same-origin"},
           {"Content-Type", "application/json; charset=utf-8"}});
  ASSERT_EQ(replayed.status, 200u);
  EXPECT_EQ(replayed.type, "application/json");
  EXPECT_EQ(Json::parse(replayed.body), replay_game(game));

  Answer bad = ask(server.port(), http::verb::post, with_key(server, "/replay"), "{\"start\": ");
  EXPECT_EQ(bad.status, 400u);
  EXPECT_FALSE(Json::parse(bad.body)["error"].is_null());
}

TEST(web_server, pushes_every_state_and_plays_the_pages_moves_for_the_human_seat) {
  LiveGame live(1);
  WebServer server(live, 0);
  Page page(server, "http://127.0.0.1:" + std::to_string(server.port()));
  Json first = page.read();
  EXPECT_EQ(first["type"], "state");
  live.set_status("Waiting for White");
  Json second = page.read();
  EXPECT_GT(second["seq"], first["seq"]);
  EXPECT_EQ(second["status"], "Waiting for White");

  page.send({{"type", "move"}, {"action", 1}, {"move", "0,0,0,1"}});
  EXPECT_EQ(page.read_other_than_state()["type"], "refused");
  page.send({{"type", "hello"}});
  EXPECT_NE(page.read_other_than_state()["message"].get<std::string>().find("understand"),
            std::string::npos);

  Vorak const start = random_setup(4);
  std::string const legal = *to_server_notation(legal_actions(start, WHITE).front());
  std::future<Reply> seat =
      std::async(std::launch::async, [&] { return live.await_human(WHITE, start, 10000); });
  Json waiting;
  for (int i = 0; i < 20 && waiting["human"].is_null(); ++i) waiting = page.read();
  ASSERT_FALSE(waiting["human"].is_null());
  EXPECT_EQ(waiting["human"]["action"], 1);
  page.send({{"type", "move"}, {"action", 1}, {"move", "0,0,0,0"}});
  Json refused = page.read_other_than_state();
  EXPECT_EQ(refused["type"], "refused");
  EXPECT_NE(refused["message"].get<std::string>().find("not a legal first action"),
            std::string::npos);
  page.send({{"type", "move"}, {"action", "1"}, {"move", legal}});
  EXPECT_EQ(page.read_other_than_state()["type"], "refused");
  page.send({{"type", "move"}, {"action", 1}, {"move", legal}});
  ASSERT_EQ(seat.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  Reply const reply = seat.get();
  EXPECT_EQ(reply.status, Reply::MOVE);
  EXPECT_EQ(reply.move, legal);
}

// Every action of a fast series was built and sent to every page, at 27 times the cost of the
// series itself; a page now gets the latest state when it is ready, and nothing in between.
TEST(web_server, a_page_gets_the_latest_state_not_every_one) {
  LiveGame live(1);
  WebServer server(live, 0);
  Page page(server, own_origin(server.port()));
  EXPECT_EQ(page.read()["type"], "state");
  constexpr int changes = 2000;
  for (int i = 1; i <= changes; ++i) live.set_status("change " + std::to_string(i));
  int received = 0;
  Json state;
  while (state["status"] != "change " + std::to_string(changes) && received < changes)
    state = page.read(), ++received;
  EXPECT_EQ(state["status"], "change " + std::to_string(changes)) << "the latest came";
  EXPECT_LT(received, changes / 10) << "the states in between were built and sent";

  // A few actions at once after a pause, as a random player answers a bot: each is shown.
  std::this_thread::sleep_for(300ms);
  for (char const* status : {"first", "second", "third"}) live.set_status(status);
  std::vector<std::string> shown;
  while (shown.size() < 10 && (shown.empty() || shown.back() != "third"))
    shown.push_back(page.read()["status"].get<std::string>());
  EXPECT_EQ(shown, (std::vector<std::string>{"first", "second", "third"}));
}

TEST(web_server, a_page_of_another_site_cannot_connect) {
  LiveGame live(1);
  WebServer server(live, 0);
  EXPECT_THROW(Page(server, "http://evil.example"), boost::system::system_error);
  EXPECT_NO_THROW(Page(server, "http://localhost:" + std::to_string(server.port())));
}

TEST(web_server, a_port_in_use_is_refused_with_a_reason) {
  LiveGame live(1);
  WebServer first(live, 0);
  LiveGame other(1);
  try {
    WebServer second(other, first.port());
    FAIL() << "a second server listened on the same port";
  } catch (std::string const& reason) {
    EXPECT_NE(reason.find(std::to_string(first.port())), std::string::npos) << reason;
  }
}

// A state costs the same after thousands of games as after a few: it carries the result lines
// of the last games only, and the count of all.
TEST(live_state, does_not_grow_with_the_games_played) {
  GameRecord const record = played_game(9);
  Vorak const start = random_setup(9);
  LiveGame live(3000);
  auto play = [&](int games) {
    for (int g = 0; g < games; ++g) {
      live.on_start(record, start);
      live.on_end(record, start);
    }
    return Json::parse(*live.state().text);
  };
  Json const early = play(30);
  Json const late = play(2970);
  EXPECT_EQ(late["finished"], 3000);
  ASSERT_EQ(late["results"].size(), LiveGame::RECENT_RESULTS);
  EXPECT_EQ(late["results"].back(), result_line(record));
  EXPECT_LT(late.dump().size(), early.dump().size() + 16);
}

// What a page of any site can send is refused unread; a record nested deep, or long values in
// it, are answered briefly and the server lives on.
TEST(web_server, replay_reads_only_bounded_json_from_its_own_pages) {
  LiveGame live(1);
  WebServer server(live, 0);
  unsigned short const port = server.port();
  auto post = [&](std::string const& text, Fields const& fields = {}) {
    return ask(port, http::verb::post, with_key(server, "/replay"), text, "", fields);
  };
  Json game = game_json(played_game(3));
  for (auto const& [name, value] : Fields{{"Content-Type", "text/plain"},
                                          {"Content-Type", "application/jsonp"},
                                          {"Origin", "http://evil.example"},
                                          {"Origin", "null"},
                                          {"Sec-Fetch-Site", "cross-site"},
                                          {"Sec-Fetch-Site", "same-site"}})
    EXPECT_EQ(post(game.dump(), {{name, value}}).status, name[0] == 'C' ? 415u : 403u) << value;

  Json marked = game;
  marked["actions"][0]["player"] = "@";
  std::string deep = marked.dump();
  deep.replace(deep.find("\"@\""), 3, std::string(100000, '[') + std::string(100000, ']'));
  EXPECT_NE(post(deep).body.find("deeper than"), std::string::npos);
  for (Json const& value : {Json(std::string(5000, 'x')), Json::parse("[[[[[[[[1]]]]]]]]")}) {
    for (char const* field : {"player", "move"}) {
      Json changed = game;
      changed["actions"][0][field] = value;
      std::string const error = Json::parse(post(changed.dump()).body)["error"];
      EXPECT_NE(error.find("action 1"), std::string::npos) << error;
      EXPECT_LT(error.size(), 200u) << error;
    }
  }
  EXPECT_EQ(ask(port, http::verb::get, with_key(server, "/state")).status, 200u);
}

// A record of far more keys or values than a game has is refused as soon as it goes beyond
// them, and the page's other requests are answered meanwhile.
TEST(web_server, a_record_too_large_for_a_game_does_not_hold_the_page_up) {
  LiveGame live(1);
  WebServer server(live, 0);
  std::string keys = "{", values = "[0";
  for (int k = 0; k < 90000; ++k) keys += "\"" + std::to_string(k) + "\":0,";
  for (int v = 0; v < 200000; ++v) values += ",0";
  auto post = [&](std::string const& body) {
    return std::async(std::launch::async, [&, body] {
      return ask(server.port(), http::verb::post, with_key(server, "/replay"), body);
    });
  };
  std::future<Answer> by_keys = post(keys + "\"start\":0}"), by_values = post(values + "]");
  EXPECT_EQ(ask(server.port(), http::verb::get, with_key(server, "/state")).status, 200u);
  EXPECT_NE(by_keys.get().body.find("more than 64 keys"), std::string::npos);
  EXPECT_NE(by_values.get().body.find("more than 10000 values"), std::string::npos);
}

// Bare connections and silent WebSockets beyond the caps take no place from the person's page:
// it loads, connects and plays; connections that send no request are closed soon.
TEST(web_server, idle_connections_and_silent_pages_do_not_shut_the_page_out) {
  LiveGame live(1);
  WebTimeouts timeouts;
  timeouts.request = 1500ms;
  WebServer server(live, 0, timeouts);
  unsigned short const port = server.port();
  asio::io_context ioc;
  std::vector<tcp::socket> idle;
  for (int i = 0; i < WebServer::MAX_HTTP + 8; ++i) {
    idle.emplace_back(ioc);
    idle.back().connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    limit_reads(idle.back());
  }
  std::vector<std::unique_ptr<Page>> silent;
  for (int i = 0; i < WebServer::MAX_WEBSOCKETS + 8; ++i)
    silent.push_back(std::make_unique<Page>(server, own_origin(port)));
  EXPECT_EQ(ask(port, http::verb::get, "/").status, 200u);
  Page page(server, own_origin(port));
  EXPECT_EQ(page.read()["type"], "state");
  page.send({{"type", "move"}, {"action", 1}, {"move", "0,0,0,1"}});
  EXPECT_EQ(page.read_other_than_state()["type"], "refused");

  for (tcp::socket& socket : idle) {
    char byte;
    beast::error_code ec;
    socket.read_some(asio::buffer(&byte, 1), ec);
    EXPECT_TRUE(closed_by_server(ec)) << ec.message();
  }
  EXPECT_TRUE(closed_by_server(silent.front()->read_until_closed()));
  EXPECT_LE(server.counts().websockets, WebServer::MAX_WEBSOCKETS);
}

// Pages come and go without leaving anything behind, with no game to send them.
TEST(web_server, closed_pages_leave_nothing_behind) {
  LiveGame live(1);
  WebServer server(live, 0);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(Page(server).read()["type"], "state");
  int left = -1;
  for (int i = 0; i < 1000 && left != 0; ++i, std::this_thread::sleep_for(10ms))
    left = server.counts().http + server.counts().websockets;
  EXPECT_EQ(left, 0);
}

// A page that only watches stays connected, answering the server's pings, for many times the
// idle time; one that answers nothing is let go.
TEST(web_server, watching_pages_are_kept_and_silent_ones_let_go) {
  LiveGame live(1);
  WebTimeouts timeouts;
  timeouts.idle = 1s;
  WebServer server(live, 0, timeouts);
  Page watching(server, own_origin(server.port()));
  Page silent(server, own_origin(server.port()));
  EXPECT_EQ(watching.read()["type"], "state");
  std::thread later([&] {
    std::this_thread::sleep_for(3s);
    live.set_status("still watched");
  });
  Json const news = watching.read();
  later.join();
  EXPECT_EQ(news["status"], "still watched");
  EXPECT_GE(watching.pings(), 3);
  EXPECT_TRUE(closed_by_server(silent.read_until_closed()));
}

// Any program on the machine can connect: without the run's key it can neither follow, play nor
// replay, nor take a place from the user's page; the page that plays is never let go.
TEST(web_server, the_page_is_the_users_alone) {
  LiveGame live(1);
  WebServer server(live, 0);
  unsigned short const port = server.port();
  std::string const origin = own_origin(port);
  std::string wrong = server.key();
  wrong.back() = wrong.back() == '0' ? '1' : '0';
  EXPECT_EQ(server.address(), "http://127.0.0.1:" + std::to_string(port) + "/?key=" + server.key());
  EXPECT_EQ(server.key().size(), 32u);
  for (std::string const& query : std::vector<std::string>{
           "", "?key=" + wrong, "?key=" + server.key() + "0", "?key=", "?other=" + server.key()}) {
    EXPECT_EQ(ask(port, http::verb::get, "/state" + query).status, 403u) << query;
    EXPECT_EQ(ask(port, http::verb::get, "/record" + query).status, 403u) << query;
    EXPECT_EQ(ask(port, http::verb::get, "/analysis" + query).status, 403u) << query;
    for (std::string const post : {"/position", "/analysis", "/analysis/cancel"})
      EXPECT_EQ(ask(port, http::verb::post, post + query, "{}").status, 403u) << post << query;
    EXPECT_EQ(ask(port, http::verb::post, "/replay" + query, "{}").status, 403u) << query;
    EXPECT_THROW(Page(port, "/live" + query, origin), boost::system::system_error) << query;
  }
  EXPECT_EQ(ask(port, http::verb::get, "/state?v=2&key=" + server.key()).status, 200u);

  // The person plays; as many other pages of theirs as the cap allows keep talking.
  Page player(server, origin);
  player.send({{"type", "move"}, {"action", 1}, {"move", "0,0,0,1"}});
  EXPECT_EQ(player.read_other_than_state()["type"], "refused");
  std::vector<std::unique_ptr<Page>> chatty;
  for (int i = 1; i < WebServer::MAX_WEBSOCKETS; ++i) {
    chatty.push_back(std::make_unique<Page>(server, origin));
    chatty.back()->send({{"type", "hello"}});
  }
  for (int i = 0; i < 4; ++i) {
    Page newcomer(server, origin);  // takes a place, but not the player's
    EXPECT_EQ(newcomer.read()["type"], "state");
  }
  player.send({{"type", "move"}, {"action", 1}, {"move", "0,0,0,1"}});
  EXPECT_EQ(player.read_other_than_state()["type"], "refused") << "the player's page was let go";
}

// The cap on HTTP connections holds at its very number; a connection that showed the key keeps
// its place while strangers come and go.
TEST(web_server, http_connections_are_capped_and_the_keyed_one_kept) {
  LiveGame live(1);
  WebServer server(live, 0);
  unsigned short const port = server.port();
  asio::io_context ioc;
  auto open = [&] {
    tcp::socket socket(ioc);
    socket.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
    limit_reads(socket);
    return socket;
  };
  auto settled = [&](int wanted) {
    int now = -1;
    for (int i = 0; i < 300 && now != wanted; ++i, std::this_thread::sleep_for(10ms))
      now = server.counts().http;
    return now;
  };
  // The user's page: one request with the key, and the connection kept alive.
  tcp::socket page = open();
  auto request = [&] {
    http::request<http::string_body> get(http::verb::get, with_key(server, "/state"), 11);
    get.set(http::field::host, "127.0.0.1:" + std::to_string(port));
    http::write(page, get);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    beast::error_code ec;
    http::read(page, buffer, response, ec);
    return ec ? 0u : response.result_int();
  };
  ASSERT_EQ(request(), 200u);
  std::vector<tcp::socket> strangers;
  for (int i = 1; i < WebServer::MAX_HTTP; ++i) strangers.push_back(open());
  EXPECT_EQ(settled(WebServer::MAX_HTTP), WebServer::MAX_HTTP);
  strangers.push_back(open());  // one past the cap: the oldest stranger goes
  EXPECT_EQ(settled(WebServer::MAX_HTTP), WebServer::MAX_HTTP);
  char byte;
  beast::error_code ec;
  strangers.front().read_some(asio::buffer(&byte, 1), ec);
  EXPECT_TRUE(closed_by_server(ec)) << ec.message();
  for (int i = 0; i < 8; ++i) strangers.push_back(open());
  EXPECT_EQ(request(), 200u) << "the keyed connection was let go";
}

// --open: a record is read whole and checked before the page is served, and only a page with
// the key gets it.
TEST(opened_record, only_a_record_is_opened_and_the_keyed_page_gets_it) {
  support::ScratchFolder folder("opened_record");
  auto file = [&](std::string const& name, std::string const& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return (folder / name).string();
  };
  Json const record = {{"seed", 1}, {"games", Json::array({game_json(played_game(4))})}};
  std::string deep = "{\"games\": [";
  for (int i = 0; i < 40; ++i) deep += "[";
  std::string const refused[] = {
      (folder / "missing.json").string(),
      folder.path().string(),
      file("text.json", "not JSON"),
      file("list.json", "[1, 2]"),
      file("other.json", "{\"games\": 3, \"x\": {\"start\": \"s\"}}"),
      file("moves.json", "{\"moves\": [], \"start\": 4}"),
      file("deep.json", deep + std::string(40, ']') + "]}"),
      file("cut.json", record.dump().substr(0, 100)),
  };
  for (std::string const& path : refused) {
    std::string error;
    EXPECT_FALSE(open_record(path, error)) << path;
    EXPECT_NE(error.find(path), std::string::npos) << error;
  }

  std::string error;
  std::optional<OpenedRecord> const opened =
      open_record(file("games.json", "\xEF\xBB\xBF" + record.dump(2)), error);
  ASSERT_TRUE(opened) << error;
  std::optional<OpenedRecord> const one_game =
      open_record(file("game.json", game_json(played_game(5)).dump()), error);
  EXPECT_TRUE(one_game) << error;

  LiveGame live(0);
  WebServer server(live, 0);
  EXPECT_EQ(ask(server.port(), http::verb::get, with_key(server, "/record")).status, 404u);
  server.show(*opened);
  EXPECT_EQ(ask(server.port(), http::verb::get, "/record").status, 403u);
  Answer const answer = ask(server.port(), http::verb::get, with_key(server, "/record"));
  ASSERT_EQ(answer.status, 200u);
  Json const shown = Json::parse(answer.body);
  EXPECT_EQ(shown["name"], "games.json");
  EXPECT_EQ(shown["record"], record);
}

// The analysis board takes only positions the game can be played from, and plays on them by the
// referee's rules.
TEST(analysis_board, reads_positions_and_plays_them_forward_by_the_rules) {
  std::string const board = board_description(random_setup(4));
  Json const opening = {{"board", board}, {"player", "white"}, {"step", 1}, {"opening", true}};
  for (auto const& [change, said] : std::vector<std::pair<Json, std::string>>{
           {{{"board", 5}}, "board description"},
           {{{"board", std::string(9000, '{')}}, "board description"},
           {{{"board", "{WHITE,Vorak}"}}, "60"},
           {{{"player", "red"}}, "side to act"},
           {{{"step", 3}}, "first (1) or second (2)"},
           {{{"player", "black"}}, "opening action is White's"},
           {{{"move", "0,0,0,0"}}, "not a legal first action"},
           {{{"move", std::string(40, '1')}}, "server notation"}}) {
    Json request = opening;
    request.update(change);
    Json const answer = play_on(request);
    EXPECT_NE(answer.value("error", "").find(said), std::string::npos) << change << answer;
  }
  Json const start = play_on(opening);
  ASSERT_FALSE(start.contains("error")) << start;
  EXPECT_EQ(start["board"], board);
  std::vector<std::string> legal;
  for (std::string const& m : legal_actions(random_setup(4), WHITE))
    legal.push_back(*to_server_notation(m));
  ASSERT_EQ(start["legal"].size(), legal.size());
  EXPECT_EQ(start["legal"][0]["move"], legal.front());
  EXPECT_FALSE(start["pass"]);

  // White's opening action hands the turn to Black, whose second action may be a pass.
  Json request = opening;
  request["move"] = legal.front();
  Json const after = play_on(request);
  ASSERT_FALSE(after.contains("error")) << after;
  EXPECT_EQ(after["player"], "black");
  EXPECT_EQ(after["opening"], false);
  Json second = after;
  second["move"] = after["legal"][0]["move"];
  Json const black = play_on(second);
  EXPECT_EQ(black["player"], "black");
  EXPECT_EQ(black["step"], 2);
  EXPECT_TRUE(black["pass"]);
  second = black;
  second["move"] = "";
  EXPECT_EQ(play_on(second)["player"], "white");
}

// One analysis at a time, within its bounds, ended at once when cancelled.
TEST(analysis, one_at_a_time_bounded_and_cancellable) {
  std::string error;
  std::optional<BoardSetup> const setup = read_setup(
      {{"board", board_description(random_setup(9))}, {"player", "white"}, {"step", 1}}, error);
  ASSERT_TRUE(setup) << error;
  Analysis analysis;
  EXPECT_EQ(analysis.status()["id"], 0);
  for (double seconds : {0.0, 60.5, std::nan("")}) EXPECT_NE(analysis.start(*setup, seconds), "");
  ASSERT_EQ(analysis.start(*setup, 60), "");
  EXPECT_NE(analysis.start(*setup, 1).find("under way"), std::string::npos);
  Json status;
  for (int i = 0; i < 500 && (status = analysis.status())["thinking"].is_null(); ++i)
    std::this_thread::sleep_for(10ms);
  ASSERT_FALSE(status["thinking"].is_null()) << "no judgement within 5 s";
  EXPECT_TRUE(status["running"]);
  EXPECT_TRUE(analysis.cancel());
  for (int i = 0; i < 500 && (status = analysis.status())["running"]; ++i)
    std::this_thread::sleep_for(10ms);
  EXPECT_FALSE(status["running"]) << "still running 5 s after its cancel";
  EXPECT_TRUE(status["cancelled"]);
  EXPECT_LT(status["elapsed"].get<double>(), 30);
  EXPECT_EQ(status["thinking"]["candidates"].size(), Thought::MOST_CANDIDATES);
  EXPECT_FALSE(analysis.cancel());
}
