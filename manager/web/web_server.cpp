#include "manager/web/web_server.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <exception>
#include <future>
#include <iostream>
#include <list>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <boost/algorithm/string/predicate.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "manager/web/analysis.h"
#include "manager/web/analysis_board.h"
#include "manager/web/web_assets.h"
#include "net/platform.h"

namespace manager {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;

using Clock = std::chrono::steady_clock;

// An answer that the client does not take in this time is dropped with its connection.
constexpr auto WRITE_TIMEOUT = std::chrono::seconds(30);
// A page that falls this many answers behind is dropped; it reconnects and gets the state.
constexpr std::size_t MAX_QUEUE = 512;
// A fast series changes the state thousands of times a second, and each state built costs the
// match its lock: pages get the latest state at most once a STATE_PACE. Up to STATE_BURST states
// in a row, refilled at that pace, are each built as they come and sent in turn, so that every
// action of a game played at a human pace is shown (a random player answers at once).
constexpr auto STATE_PACE = std::chrono::milliseconds(20);
// A burst is some sixteen actions: a bot that answers within milliseconds (a win found at once,
// a calendar second about to turn) against a random player plays several turns that fast.
constexpr double STATE_BURST = 32;
// The page sends only moves, a few dozen bytes.
constexpr std::size_t MAX_MESSAGE = 16 * 1024;

// What a page may post, JSON every one: a game to replay, a position to play on, an analysis to
// begin or to cancel.
constexpr std::array<std::string_view, 4> POST_PATHS = {"/replay", "/position", "/analysis",
                                                        "/analysis/cancel"};

// JSON for the page; text that is not UTF-8 (a client's) gets a replacement character.
std::string json_text(Json const& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Beast of this Boost has its own string_view.
std::string_view view(beast::string_view text) {
  return {text.data(), text.size()};
}

std::string_view content_type(std::string_view name) {
  auto ends = [name](std::string_view suffix) {
    return name.size() >= suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
  };
  if (ends(".html")) return "text/html; charset=utf-8";
  if (ends(".js")) return "text/javascript; charset=utf-8";
  if (ends(".css")) return "text/css; charset=utf-8";
  if (ends(".svg")) return "image/svg+xml";
  if (ends(".png")) return "image/png";
  return "application/octet-stream";
}

// 128 bits from the system's source of randomness, in hexadecimal.
std::string new_key() {
  std::random_device source;
  std::string key;
  static constexpr char digits[] = "0123456789abcdef";
  for (int word = 0; word < 4; ++word) {
    std::uint32_t bits = source();
    for (int i = 0; i < 8; ++i, bits >>= 4) key += digits[bits & 0xF];
  }
  return key;
}

// The value of `name` in the query of `target` ("/live?key=K"), or "".
std::string_view query_value(std::string_view target, std::string_view name) {
  std::size_t const question = target.find('?');
  if (question == std::string_view::npos) return {};
  std::string_view query = target.substr(question + 1);
  while (!query.empty()) {
    std::string_view const pair = query.substr(0, query.find('&'));
    query.remove_prefix(std::min(query.size(), pair.size() + 1));
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
        pair[name.size()] == '=')
      return pair.substr(name.size() + 1);
  }
  return {};
}

// Compares every byte whatever the first difference, so that the time taken tells nothing
// of how much of a guessed key was right.
bool same_secret(std::string_view given, std::string const& secret) {
  if (given.size() != secret.size()) return false;
  unsigned difference = 0;
  for (std::size_t i = 0; i < secret.size(); ++i)
    difference |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(secret[i]);
  return difference == 0;
}

// "application/json", parameters such as a charset aside.
bool is_json(std::string_view content_type) {
  std::string type(content_type.substr(0, content_type.find(';')));
  boost::algorithm::trim(type);
  return boost::algorithm::iequals(type, "application/json");
}

class Channel;
class HttpSession;

// What the connections share; lives on the server's thread, apart from `live`.
struct Hub {
  Hub(LiveGame& game, unsigned short listening, WebTimeouts limits)
      : live(game), port(listening), timeouts(limits), key(new_key()) {}

  LiveGame& live;
  unsigned short port;
  WebTimeouts timeouts;
  std::string const key;
  // Every connection, oldest first; each takes itself out as it ends.
  std::list<HttpSession*> sessions;
  std::list<Channel*> channels;
  std::optional<OpenedRecord> opened;  // the record of --open
  std::unique_ptr<Analysis> const analysis = std::make_unique<Analysis>();
  // Hands states to this thread; set on `live` only while a page is open, so that a series
  // that nobody watches builds no state messages.
  LiveGame::Listener listener;
  int pages = 0;  // channels open

  // `every`: a state of a burst, sent after those before it rather than in their place.
  void broadcast(LiveGame::Message const& message, bool every);
  // At the cap, closes the connection whose place a newcomer takes; false when none may give
  // way, and the newcomer is refused.
  bool make_room_for_http();
  bool make_room_for_websocket();
  // The request carries the run's key: it comes from the page that the user opened.
  bool keyed(Request const& request) const {
    return same_secret(query_value(view(request.target()), "key"), key);
  }
  Response respond(Request const& request) const;
  // The answer to a POST of JSON `body` (bounded) to `path`, one of POST_PATHS.
  Response answer_post(Request const& request, std::string_view path, Json const& body) const;
  // Why a POST is refused, or "" to read it. A page of any site may POST here without asking
  // first (as text/plain, say), so only JSON from this server's own pages is read.
  std::string refuse_post(Request const& request, http::status& status) const;
  // Why a WebSocket upgrade is refused, or "" to accept it.
  std::string refuse_upgrade(Request const& request) const;
  // The answer to one message from a page, or nullptr for none; sets `moved` for a move.
  std::shared_ptr<std::string const> answer(std::string const& text, bool& moved) const;

  // A page of another site in the same browser must neither play the human seat nor read the
  // game, and a name that merely resolves to 127.0.0.1 (DNS rebinding) is another site.
  bool own_host(std::string_view host) const {
    std::string const p = std::to_string(port);
    return host == "127.0.0.1:" + p || host == "localhost:" + p ||
           (port == 80 && (host == "127.0.0.1" || host == "localhost"));
  }
  bool own_origin(std::string_view origin) const {
    std::string const p = std::to_string(port);
    return origin == "http://127.0.0.1:" + p || origin == "http://localhost:" + p ||
           (port == 80 && (origin == "http://127.0.0.1" || origin == "http://localhost"));
  }
};

Response make_response(Request const& request, http::status status, std::string body,
                       std::string_view type) {
  Response response(status, request.version());
  response.set(http::field::server, "vorak-manager");
  response.set(http::field::content_type, beast::string_view(type.data(), type.size()));
  response.set(http::field::cache_control, "no-store");
  response.set("X-Content-Type-Options", "nosniff");
  response.keep_alive(request.keep_alive());
  response.body() = std::move(body);
  return response;
}

Response text_response(Request const& request, http::status status, std::string const& text) {
  return make_response(request, status, text + "\n", "text/plain; charset=utf-8");
}

Response Hub::respond(Request const& request) const {
  if (!own_host(view(request[http::field::host])))
    return text_response(request, http::status::forbidden,
                         "This server answers only to 127.0.0.1:" + std::to_string(port) + ".");
  std::string_view path = view(request.target());
  path = path.substr(0, path.find('?'));

  bool const post = request.method() == http::verb::post &&
                    std::find(POST_PATHS.begin(), POST_PATHS.end(), path) != POST_PATHS.end();
  if (post || path == "/state" || path == "/record" || path == "/analysis") {
    if (!keyed(request))
      return text_response(request, http::status::forbidden,
                           "Open the address that vorak-manager printed: it holds the page's key.");
  }
  if (post) {
    http::status status = http::status::forbidden;
    std::string const refusal = refuse_post(request, status);
    if (!refusal.empty()) return text_response(request, status, refusal);
    std::string error;
    std::optional<Json> const body = parse_page_json(request.body(), error);
    if (!body)
      return make_response(
          request, http::status::bad_request,
          Json{{"frames", Json::array()}, {"error", "the request cannot be read: " + error}}.dump(),
          "application/json");
    return answer_post(request, path, *body);
  }
  if (request.method() != http::verb::get) {
    Response response = text_response(request, http::status::method_not_allowed,
                                      "Only GET, and POST of JSON to /replay, /position, "
                                      "/analysis and /analysis/cancel.");
    response.set(
        http::field::allow,
        std::find(POST_PATHS.begin(), POST_PATHS.end(), path) != POST_PATHS.end() ? "POST" : "GET");
    return response;
  }
  if (path == "/analysis")
    return make_response(request, http::status::ok, json_text(analysis->status()),
                         "application/json");
  if (path == "/state")
    return make_response(request, http::status::ok, *live.state().text, "application/json");
  if (path == "/record") {
    if (!opened) return text_response(request, http::status::not_found, "No record was opened.");
    return make_response(request, http::status::ok, opened_record_json(*opened),
                         "application/json");
  }
  std::string_view const name = path == "/" ? std::string_view("index.html") : path.substr(1);
  for (WebAsset const& asset : web_assets()) {
    if (asset.name != name) continue;
    Response response =
        make_response(request, http::status::ok, std::string(asset.body), content_type(asset.name));
    if (content_type(asset.name).substr(0, 9) == "text/html") {
      // Everything the page uses comes from here; the WebSocket is 'self' as well.
      response.set("Content-Security-Policy",
                   "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' "
                   "data:; connect-src 'self'; base-uri 'none'; form-action 'none'; "
                   "frame-ancestors 'none'");
    }
    return response;
  }
  return text_response(request, http::status::not_found,
                       "Not found: " + std::string(path.substr(0, 200)));
}

Response Hub::answer_post(Request const& request, std::string_view path, Json const& body) const {
  auto const json = [&](http::status status, Json const& answer) {
    return make_response(request, status, json_text(answer), "application/json");
  };
  if (path == "/replay") return json(http::status::ok, replay_game(body));
  if (path == "/position") {
    Json const answer = play_on(body);
    return json(answer.contains("error") ? http::status::bad_request : http::status::ok, answer);
  }
  if (path == "/analysis/cancel")
    return json(http::status::ok, {{"cancelled", analysis->cancel()}});
  // /analysis: a position and the seconds to spend on it.
  std::string error;
  std::optional<BoardSetup> const setup = read_setup(body, error);
  Json const seconds = body.is_object() ? body.value("seconds", Json()) : Json();
  if (setup && !seconds.is_number()) error = "an analysis needs its \"seconds\"";
  if (!setup || !error.empty()) return json(http::status::bad_request, {{"error", error}});
  error = analysis->start(*setup, seconds.get<double>());
  if (!error.empty()) return json(http::status::conflict, {{"error", error}});
  return json(http::status::accepted, analysis->status());
}

std::string Hub::refuse_post(Request const& request, http::status& status) const {
  std::string_view const origin = view(request[http::field::origin]);
  std::string_view const site = view(request["Sec-Fetch-Site"]);
  status = http::status::forbidden;
  if ((!origin.empty() && !own_origin(origin)) || (!site.empty() && site != "same-origin"))
    return "Pages of other sites may not post here.";
  status = http::status::unsupported_media_type;
  if (!is_json(view(request[http::field::content_type])))
    return "A game is posted as application/json.";
  return "";
}

std::string Hub::refuse_upgrade(Request const& request) const {
  if (!own_host(view(request[http::field::host]))) return "This server answers only to 127.0.0.1.";
  std::string_view const origin = view(request[http::field::origin]);
  if (!origin.empty() && !own_origin(origin)) return "Pages of other sites may not connect.";
  std::string_view const target = view(request.target());
  if (target.substr(0, target.find('?')) != "/live") return "The WebSocket is at /live.";
  if (!keyed(request)) return "Open the address that vorak-manager printed: it holds the key.";
  return "";
}

std::shared_ptr<std::string const> Hub::answer(std::string const& text, bool& moved) const {
  std::string error;
  Json const message = parse_page_json(text, error).value_or(Json());
  error.clear();
  if (!message.is_object() || message.value("type", Json()) != "move") {
    error = "The manager did not understand the page's message.";
  } else {
    moved = true;
    Json const action = message.value("action", Json());
    Json const move = message.value("move", Json());
    if (!action.is_number_integer() || !move.is_string())
      error = "A move needs its action number and its text.";
    else
      error = live.offer(action.get<long long>(), move.get<std::string>());
  }
  if (error.empty()) return nullptr;
  return std::make_shared<std::string const>(Json{{"type", "refused"}, {"message", error}}.dump(
      -1, ' ', false, Json::error_handler_t::replace));
}

// One page's WebSocket: every state message in order, and the page's moves.
class Channel : public std::enable_shared_from_this<Channel> {
 public:
  Channel(tcp::socket&& socket, Hub& hub)
      : ws_(std::move(socket)),
        hub_(hub),
        place_(hub.channels.insert(hub.channels.end(), this)),
        heard_(Clock::now()) {}
  ~Channel() {
    hub_.channels.erase(place_);
    if (open_ && --hub_.pages == 0) hub_.live.set_listener(nullptr);
  }

  void run(Request request) {
    websocket::stream_base::timeout limits =
        websocket::stream_base::timeout::suggested(beast::role_type::server);
    limits.idle_timeout = hub_.timeouts.idle;
    limits.keep_alive_pings = true;
    ws_.set_option(limits);
    ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
      response.set(http::field::server, "vorak-manager");
    }));
    ws_.read_message_max(MAX_MESSAGE);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
      if (!ec) self->start();
    });
  }

  // Sends the state now, or once what is being written has gone: only the latest then, unless
  // it is one of a burst and the queue has room for it.
  void deliver(LiveGame::Message const& message, bool every = false) {
    if (!open_ || message.seq <= last_seq_) return;  // already sent, or older than what was
    if (!queue_.empty() && !(every && queue_.size() < STATE_BURST)) {
      waiting_ = message;
      return;
    }
    waiting_.reset();
    last_seq_ = message.seq;
    send(message.text);
  }

  // Closes the connection; its handlers end with an error and free the channel.
  void end() {
    closing_ = true;
    beast::get_lowest_layer(ws_).close();
  }
  bool closing() const { return closing_; }
  // When the page last sent a message (or opened).
  Clock::time_point heard() const { return heard_; }
  // It has sent a move: it is the page of the person at the human seat.
  bool plays() const { return plays_; }

 private:
  void start() {
    open_ = true;
    if (hub_.pages++ == 0) hub_.live.set_listener(hub_.listener);
    deliver(hub_.live.state());
    read();
  }

  void read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return;  // closed; the last handler's end frees the channel
      self->heard_ = Clock::now();
      std::string const text = beast::buffers_to_string(self->buffer_.data());
      self->buffer_.consume(self->buffer_.size());
      if (auto reply = self->hub_.answer(text, self->plays_)) self->send(reply);
      self->read();
    });
  }

  void send(std::shared_ptr<std::string const> const& text) {
    if (queue_.size() >= MAX_QUEUE) {
      end();
      return;
    }
    queue_.push_back(text);
    if (queue_.size() == 1) write();
  }

  void write() {
    ws_.text(true);
    ws_.async_write(asio::buffer(*queue_.front()),
                    [self = shared_from_this()](beast::error_code ec, std::size_t) {
                      if (ec) return;
                      self->queue_.pop_front();
                      if (!self->queue_.empty()) {
                        self->write();
                      } else if (self->waiting_) {
                        LiveGame::Message const latest = *self->waiting_;
                        self->waiting_.reset();
                        self->deliver(latest);
                      }
                    });
  }

  websocket::stream<beast::tcp_stream> ws_;
  Hub& hub_;
  std::list<Channel*>::iterator const place_;
  beast::flat_buffer buffer_;
  std::deque<std::shared_ptr<std::string const>> queue_;
  std::optional<LiveGame::Message> waiting_;  // the latest state, while a write is under way
  std::uint64_t last_seq_ = 0;
  bool open_ = false;  // the handshake is done
  bool closing_ = false;
  bool plays_ = false;
  Clock::time_point heard_;
};

// Room for one more connection of a kind capped at `limit`: when those still open fill it, the
// one `victim` picks among them (oldest first) is ended; none picked, there is no room.
template <class Connection, class Victim>
bool make_room(std::list<Connection*> const& connections, int limit, Victim const& victim) {
  std::vector<Connection*> open;
  for (Connection* c : connections)
    if (!c->closing()) open.push_back(c);
  if (static_cast<int>(open.size()) < limit) return true;
  Connection* const chosen = victim(open);
  if (!chosen) return false;
  chosen->end();
  return true;
}

void Hub::broadcast(LiveGame::Message const& message, bool every) {
  // Delivering never ends a channel at once: the list stays as it is while it is walked.
  for (Channel* channel : channels) channel->deliver(message, every);
}

bool Hub::make_room_for_websocket() {
  return make_room(channels, WebServer::MAX_WEBSOCKETS, [](auto const& open) {
    Channel* quietest = nullptr;
    for (Channel* channel : open)
      if (!channel->plays() && (!quietest || channel->heard() < quietest->heard()))
        quietest = channel;
    return quietest;
  });
}

// One HTTP connection: requests in turn until the client closes or goes quiet, or asks for
// the WebSocket.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket&& socket, Hub& hub)
      : stream_(std::move(socket)),
        hub_(hub),
        place_(hub.sessions.insert(hub.sessions.end(), this)) {}
  ~HttpSession() { hub_.sessions.erase(place_); }

  void read() {
    parser_.emplace();
    parser_->header_limit(16 * 1024);
    parser_->body_limit(WebServer::MAX_BODY);
    // The whole request, body included, within the time: a page sends it at once.
    stream_.expires_after(hub_.timeouts.request);
    waiting_ = true;
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->on_read(ec); });
  }

  // Closes the connection; its handler ends with an error and frees the session.
  void end() {
    closing_ = true;
    stream_.close();
  }
  bool closing() const { return closing_; }
  // It waits for a request (and has not sent a whole one), or is closing.
  bool waiting() const { return waiting_; }
  // A request of it carried the key.
  bool keyed() const { return keyed_; }

 private:
  void on_read(beast::error_code ec) {
    waiting_ = false;
    if (ec == http::error::body_limit || ec == http::error::header_limit) {
      Request request;
      request.keep_alive(false);
      send(text_response(request, http::status::payload_too_large, "The request is too large."));
      return;
    }
    if (ec) {
      close();
      return;
    }
    Request request = parser_->release();
    keyed_ = keyed_ || hub_.keyed(request);
    if (websocket::is_upgrade(request)) {
      std::string refusal = hub_.refuse_upgrade(request);
      if (refusal.empty() && !hub_.make_room_for_websocket())
        refusal = "As many pages as the manager serves are open, one of them playing.";
      if (refusal.empty()) {
        stream_.expires_never();
        std::make_shared<Channel>(stream_.release_socket(), hub_)->run(std::move(request));
        return;
      }
      request.keep_alive(false);
      send(text_response(request, http::status::forbidden, refusal));
      return;
    }
    Response response;
    try {
      response = hub_.respond(request);
    } catch (std::exception const& e) {
      response =
          text_response(request, http::status::internal_server_error,
                        "The manager could not answer: " + std::string(e.what()).substr(0, 200));
    }
    send(std::move(response));
  }

  void send(Response response) {
    response_ = std::make_shared<Response>(std::move(response));
    response_->prepare_payload();
    stream_.expires_after(WRITE_TIMEOUT);
    http::async_write(stream_, *response_,
                      [self = shared_from_this()](beast::error_code ec, std::size_t) {
                        if (ec || self->response_->need_eof())
                          self->close();
                        else
                          self->read();
                      });
  }

  void close() {
    beast::error_code ec;
    stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
    // What the client still sends (the rest of a body refused as too large) is read and
    // dropped for a while: closing with it unread would reset the connection, and the client
    // could lose the answer. Meanwhile the connection is the first to give way to a newcomer.
    waiting_ = true;
    stream_.expires_after(hub_.timeouts.request);
    drain();
  }

  void drain() {
    stream_.async_read_some(asio::buffer(scrap_),
                            [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (!ec) self->drain();
                            });
  }

  beast::tcp_stream stream_;
  Hub& hub_;
  std::list<HttpSession*>::iterator const place_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::shared_ptr<Response> response_;
  bool waiting_ = false;
  bool closing_ = false;
  bool keyed_ = false;
  char scrap_[1024];
};

// The oldest of those that wait for a request goes first: a page sends its request at once,
// a connection that holds a place without one does not. The user's own page (it showed the
// key) keeps its place.
bool Hub::make_room_for_http() {
  return make_room(sessions, WebServer::MAX_HTTP, [](auto const& open) {
    HttpSession* oldest = nullptr;
    for (HttpSession* session : open) {
      if (session->keyed()) continue;
      if (session->waiting()) return session;
      if (!oldest) oldest = session;
    }
    return oldest;
  });
}

}  // namespace

struct WebServer::Impl {
  Impl(LiveGame& live, unsigned short port, WebTimeouts timeouts) : hub(live, port, timeouts) {}

  void accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted) return;
      if (ec) {
        // Out of descriptors, say: try again shortly rather than spin.
        retry.expires_after(std::chrono::milliseconds(200));
        retry.async_wait([this](beast::error_code wait_ec) {
          if (!wait_ec) accept();
        });
        return;
      }
      if (hub.make_room_for_http()) {
        std::make_shared<HttpSession>(std::move(socket), hub)->read();
      } else {
        beast::error_code ignored;
        socket.close(ignored);
      }
      accept();
    });
  }

  // One state of the burst, if any is left; they come back at one a STATE_PACE.
  bool take_burst() {
    std::lock_guard<std::mutex> lock(burst_mutex);
    Clock::time_point const now = Clock::now();
    burst = std::min(STATE_BURST, burst + std::chrono::duration<double>(now - burst_time) /
                                              std::chrono::duration<double>(STATE_PACE));
    burst_time = now;
    if (burst < 1) return false;
    burst -= 1;
    return true;
  }

  // The pages get the latest state, at most once a STATE_PACE.
  void changed() {
    // A state of a burst posted after this call is still to be sent: the latest now would
    // overtake it, and the page would never show it. After it, then.
    if (bursts_posted > 0) {
      asio::post(ioc, [this] { changed(); });
      return;
    }
    posted = false;
    if (pacing) return;  // the timer sends it
    Clock::time_point const due = last_state + STATE_PACE;
    if (Clock::now() >= due) {
      last_state = Clock::now();
      hub.broadcast(hub.live.state(), false);
      return;
    }
    pacing = true;
    pace.expires_at(due);
    pace.async_wait([this](beast::error_code ec) {
      pacing = false;
      if (!ec) changed();
    });
  }

  // Declared first, destroyed last: the sessions that io_context still holds refer to it.
  Hub hub;
  asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  asio::steady_timer retry{ioc};
  asio::steady_timer pace{ioc};
  bool pacing = false;
  Clock::time_point last_state{};
  std::atomic<bool> posted{false};
  std::atomic<int> bursts_posted{0};  // states of a burst posted and not yet sent
  // The burst's states left, on the match thread's side.
  std::mutex burst_mutex;
  double burst = STATE_BURST;
  Clock::time_point burst_time = Clock::now();
  std::thread thread;
};

WebServer::WebServer(LiveGame& live, unsigned short port, WebTimeouts timeouts)
    : impl_(std::make_unique<Impl>(live, port, timeouts)) {
  Impl& s = *impl_;
  beast::error_code ec;
  tcp::endpoint const endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
  s.acceptor.open(endpoint.protocol(), ec);
  // Not asio's reuse_address: on Windows that would let another program bind the port too.
  if (!ec) platform::ClaimAddress(static_cast<platform::SocketHandle>(s.acceptor.native_handle()));
  if (!ec) s.acceptor.bind(endpoint, ec);
  if (!ec) s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec)
    throw "cannot serve the web page on 127.0.0.1:" + std::to_string(port) + ": " + ec.message();
  s.hub.port = s.acceptor.local_endpoint().port();

  // The match thread only says that something changed, once until the server has looked.
  s.hub.listener = [&s] {
    if (s.take_burst()) {
      // Built here, on the thread that made the change, so that it is this very state.
      LiveGame::Message const state = s.hub.live.state();
      ++s.bursts_posted;
      asio::post(s.ioc, [&s, state] {
        s.hub.broadcast(state, true);
        --s.bursts_posted;
      });
    } else if (!s.posted.exchange(true)) {
      asio::post(s.ioc, [&s] { s.changed(); });
    }
  };
  s.accept();
  s.thread = std::thread([&s] {
    try {
      s.ioc.run();
    } catch (std::exception const& e) {
      std::cerr << "vorak-manager: the web page stopped: " << e.what() << "\n";
    }
    // No page can answer any more: a human seat waiting for one must not wait for ever.
    s.hub.live.close();
  });
}

WebServer::~WebServer() {
  impl_->ioc.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
  impl_->hub.live.set_listener(nullptr);
}

unsigned short WebServer::port() const {
  return impl_->hub.port;
}

std::string const& WebServer::key() const {
  return impl_->hub.key;
}

std::string WebServer::address() const {
  return "http://127.0.0.1:" + std::to_string(port()) + "/?key=" + key();
}

void WebServer::show(OpenedRecord const& record) {
  std::promise<void> shown;
  asio::post(impl_->ioc, [this, &record, &shown] {
    impl_->hub.opened = record;
    shown.set_value();
  });
  shown.get_future().wait();
}

WebServer::Counts WebServer::counts() const {
  std::promise<Counts> counted;
  asio::post(impl_->ioc, [this, &counted] {
    counted.set_value({static_cast<int>(impl_->hub.sessions.size()),
                       static_cast<int>(impl_->hub.channels.size())});
  });
  return counted.get_future().get();
}

}  // namespace manager
