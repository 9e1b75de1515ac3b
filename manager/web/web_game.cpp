#include "manager/web/web_game.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>

#include "game/geometry.h"
#include "game/notation.h"
#include "manager/bounded_json.h"
#include "manager/referee.h"
#include "manager/setup.h"

namespace manager {

namespace {

using Clock = std::chrono::steady_clock;

// Actions played on `position` so far: the first one takes move_count from 0 to 2.
int actions_played(Vorak const& position) {
  return position.move_count == 0 ? 0 : position.move_count - 1;
}

Json cell_json(int row, int column) {
  return Json::array({row, column});
}

// A search under way, as the page draws it: its judgement so far, and whose it is.
Json thinking_json(std::pair<Players, Thought> const& thinking) {
  Json json = thought_json(thinking.second, thinking.first);
  json["player"] = colour_json(thinking.first);
  return json;
}

// At most `size` bytes of a client's `text` for a message, cut on a character boundary and
// marked; the JSON of the answer escapes what needs escaping.
std::string excerpt(std::string const& text, std::size_t size = 40) {
  if (text.size() <= size) return text;
  std::size_t end = size;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + "...";
}

// What a message may say of a client's value: a short string or number, else its kind.
std::string excerpt(Json const& value) {
  if (value.is_string()) return "\"" + excerpt(value.get<std::string>()) + "\"";
  if (value.is_primitive()) return excerpt(value.dump());
  return std::string("an ") + value.type_name();
}

// A move in server notation is "sr,si,tr,ti"; longer texts are refused before the referee.
constexpr std::size_t MAX_MOVE_TEXT = 32;

}  // namespace

std::optional<Json> parse_page_json(std::string_view text, std::string& error) {
  return parse_bounded_json(text, JsonBounds{MAX_JSON_DEPTH, MAX_JSON_VALUES, MAX_JSON_KEYS},
                            error);
}

Json position_json(Vorak const& position) {
  Json cells = Json::array();
  for (std::uint8_t const c : geometry::PLAYABLE) {
    Entry const& e = position.board[geometry::row_of(c)][geometry::column_of(c)];
    bool const stack = (e.owner == WHITE || e.owner == BLACK) &&
                       (e.piece == VORAK || e.piece == MORIEL || e.piece == WEMM);
    if (!stack) {
      cells.push_back(nullptr);
    } else {
      cells.push_back(
          {{"owner", colour_json(e.owner)}, {"kind", piece_name(e.piece)}, {"height", e.height}});
    }
  }
  Json tallies = Json::object();
  for (Players p : {WHITE, BLACK}) {
    Json counts = Json::object();
    for (Pieces k : {VORAK, MORIEL, WEMM}) counts[piece_name(k)] = position.counter(p, k);
    tallies[p == WHITE ? "white" : "black"] = counts;
  }
  return {{"cells", cells}, {"tallies", tallies}};
}

Json replay_game(Json const& game) {
  Json result = {{"frames", Json::array()}, {"error", nullptr}};
  auto fail = [&result](std::string const& error) {
    result["error"] = error;
    return result;
  };
  if (!game.is_object()) return fail("a game of a record is a JSON object");
  auto const start = game.find("start");
  if (start == game.end() || !start->is_string()) return fail("the game has no \"start\" position");
  std::string error;
  std::optional<Vorak> const position = read_board(start->get<std::string>(), error);
  if (!position) return fail("the start position: " + excerpt(error, 200));
  auto const actions = game.find("actions");
  if (actions == game.end() || !actions->is_array()) return fail("the game has no \"actions\"");

  Referee referee(*position);
  auto frame = [&]() {
    bool const over = referee.over();
    result["frames"].push_back({{"position", position_json(referee.position())},
                                {"to_move", over ? Json(nullptr) : colour_json(referee.to_move())},
                                {"step", referee.step()},
                                {"action", referee.action_number()}});
  };
  frame();
  int number = 0;
  for (Json const& action : *actions) {
    std::string const name = "action " + std::to_string(++number);
    if (referee.over())
      return fail("the game is over after " + std::to_string(number - 1) + " actions (" +
                  referee.detail() + "), yet the record goes on");
    auto const move = action.is_object() ? action.find("move") : action.end();
    if (!action.is_object() || move == action.end() || !move->is_string())
      return fail(name + " has no move");
    auto const player = action.find("player");
    if (player != action.end() && *player != colour_json(referee.to_move()))
      return fail(name + " is " + excerpt(*player) + "'s, but " + colour_name(referee.to_move()) +
                  " is to move");
    if (move->get_ref<std::string const&>().size() > MAX_MOVE_TEXT)
      return fail(name + ": " + excerpt(*move) + " is not a move in server notation");
    Referee::Verdict const verdict = referee.submit(move->get<std::string>());
    if (!verdict.accepted) return fail(name + ": " + verdict.error);
    frame();
  }
  return result;
}

LiveGame::LiveGame(int games) : seq_(1), games_(games) {}

void LiveGame::set_listener(Listener listener) {
  std::lock_guard<std::mutex> lock(mutex_);
  listener_ = listener ? std::make_shared<Listener const>(std::move(listener)) : nullptr;
}

LiveGame::Message LiveGame::state() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (current_.seq != seq_) build();
  return current_;
}

void LiveGame::set_status(std::string const& status) {
  std::unique_lock<std::mutex> lock(mutex_);
  status_ = status;
  publish(lock);
}

void LiveGame::series_over() {
  std::unique_lock<std::mutex> lock(mutex_);
  series_over_ = true;
  status_.clear();
  publish(lock);
}

void LiveGame::take(GameRecord const& game, Vorak const& position,
                    std::optional<ActionRecord> due) {
  record_ = game;
  position_ = position;
  due_ = std::move(due);
  thinking_.reset();
}

void LiveGame::on_start(GameRecord const& game, Vorak const& position) {
  std::unique_lock<std::mutex> lock(mutex_);
  take(game, position, std::nullopt);
  in_game_ = true;
  status_.clear();
  publish(lock);
}

void LiveGame::on_request(GameRecord const& game, ActionRecord const& due, Vorak const& position) {
  std::unique_lock<std::mutex> lock(mutex_);
  take(game, position, due);
  publish(lock);
}

void LiveGame::on_action(GameRecord const& game, ActionRecord const&, Vorak const& position) {
  std::unique_lock<std::mutex> lock(mutex_);
  take(game, position, std::nullopt);
  publish(lock);
}

void LiveGame::on_end(GameRecord const& game, Vorak const& position) {
  std::unique_lock<std::mutex> lock(mutex_);
  take(game, position, std::nullopt);
  in_game_ = false;
  ++finished_;
  results_.push_back(result_line(game));
  if (results_.size() > RECENT_RESULTS) results_.pop_front();
  publish(lock);
}

void LiveGame::on_thinking(Players player, Thought const& thought) {
  std::unique_lock<std::mutex> lock(mutex_);
  thinking_.emplace(player, thought);
  publish(lock);
}

bool LiveGame::watched() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return listener_ != nullptr;
}

Reply LiveGame::await_human(Players colour, Vorak const& position, int limit_ms) {
  Clock::time_point const start = Clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  Reply reply;
  if (closed_) return reply;  // DISCONNECTED
  Waiting waiting;
  waiting.colour = colour;
  waiting.action = actions_played(position) + 1;
  waiting.step = position.step();
  waiting.legal = legal_actions(position, colour);
  waiting_ = std::move(waiting);
  publish(lock);
  lock.lock();

  auto const answered = [this] { return closed_ || waiting_->chosen.has_value(); };
  bool in_time = true;
  if (limit_ms < 0)
    chosen_.wait(lock, answered);
  else
    in_time = chosen_.wait_until(lock, start + std::chrono::milliseconds(limit_ms), answered);
  reply.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (closed_) {
    reply.status = Reply::DISCONNECTED;
  } else if (!in_time) {
    reply.status = Reply::TIMEOUT;
  } else {
    reply.status = Reply::MOVE;
    reply.move = *waiting_->chosen;
  }
  // The observer's next call (the action, or the end) tells the page.
  waiting_.reset();
  return reply;
}

std::string LiveGame::offer(long long action, std::string const& move) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!waiting_ || waiting_->chosen) {
    if (!in_game_) return "No game is in progress.";
    return "No action is awaited from this page now" +
           (due_ ? ": it is " + colour_name(due_->player) + "'s turn." : std::string("."));
  }
  if (action != waiting_->action) {
    return "Action " + std::to_string(action) + " is not the one due; action " +
           std::to_string(waiting_->action) +
           " is (this page was out of date). It has not been played.";
  }
  std::optional<std::string> const internal = parse_server_move(move);
  std::string const shown = move.size() > 20 ? move.substr(0, 20) + "..." : move;
  if (!internal) return "\"" + shown + "\" is not a move in server notation.";
  if (std::find(waiting_->legal.begin(), waiting_->legal.end(), *internal) ==
      waiting_->legal.end()) {
    if (internal->empty()) return "A turn must open with a capture, not a pass.";
    return shown + " is not a legal " + (waiting_->step == 1 ? "first" : "second") +
           " action for " + colour_name(waiting_->colour) + "; it has not been played.";
  }
  waiting_->chosen = *to_server_notation(*internal);
  chosen_.notify_all();
  return "";
}

void LiveGame::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  chosen_.notify_all();
}

Json LiveGame::state_json() const {
  Json moves = Json::array();
  double think[3] = {0, 0, 0};
  for (ActionRecord const& a : record_.actions) {
    moves.push_back(action_json(a));
    if (a.player == WHITE || a.player == BLACK) think[a.player] += a.seconds;
  }
  Json result = nullptr;
  if (!in_game_ && record_.reason != Reason::NONE) {
    result = {{"winner", colour_json(record_.winner)},
              {"reason", reason_name(record_.reason)},
              {"detail", record_.detail},
              {"line", result_line(record_)}};
  }
  Json due = nullptr;
  if (due_)
    due = {{"player", colour_json(due_->player)}, {"step", due_->step}, {"action", due_->number}};
  Json human = nullptr;
  if (waiting_ && !waiting_->chosen) {
    Json legal = Json::array();
    bool pass = false;
    for (std::string const& m : waiting_->legal) {
      if (m.empty()) {
        pass = true;
        continue;
      }
      legal.push_back({{"move", *to_server_notation(m)},
                       {"from", cell_json(m[0] - '0', m[1] - '0')},
                       {"to", cell_json(m[2] - '0', m[3] - '0')}});
    }
    human = {{"colour", colour_json(waiting_->colour)},
             {"action", waiting_->action},
             {"step", waiting_->step},
             {"legal", legal},
             {"pass", pass}};
  }
  return {{"type", "state"},
          {"seq", seq_},
          {"game", record_.game},
          {"games", games_},
          {"in_game", in_game_},
          {"series_over", series_over_},
          {"status", status_},
          {"white", record_.white},
          {"black", record_.black},
          {"start", record_.start},
          {"position", position_ ? position_json(*position_) : Json(nullptr)},
          {"due", due},
          {"moves", moves},
          {"think", {{"white", think[WHITE]}, {"black", think[BLACK]}}},
          {"result", result},
          {"human", human},
          {"thinking", thinking_ ? thinking_json(*thinking_) : Json(nullptr)},
          {"finished", finished_},
          {"results", results_}};
}

void LiveGame::publish(std::unique_lock<std::mutex>& lock) {
  ++seq_;
  std::shared_ptr<Listener const> const listener = listener_;
  lock.unlock();
  if (listener) (*listener)();
}

void LiveGame::build() const {
  // Moves refused as client text need not be UTF-8; the page gets a replacement character.
  current_.seq = seq_;
  current_.text = std::make_shared<std::string const>(
      state_json().dump(-1, ' ', false, Json::error_handler_t::replace));
}

Reply HumanSeat::request(Vorak const& position, int limit_ms) {
  return live_.await_human(colour_, position, limit_ms);
}

}  // namespace manager
