#include "manager/web_server.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>
#include <exception>
#include <future>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>

#include "manager/web_assets.h"

namespace manager {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;

constexpr auto HTTP_TIMEOUT = std::chrono::seconds(30);
// A page that falls this many messages behind is dropped; it reconnects and gets the state.
constexpr std::size_t MAX_QUEUE = 512;
// The page sends only moves, a few dozen bytes.
constexpr std::size_t MAX_MESSAGE = 16 * 1024;

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

class Channel;

// What the connections share; lives on the server's thread, apart from `live` and the count.
struct Hub {
  Hub(LiveGame& game, unsigned short listening) : live(game), port(listening) {}

  LiveGame& live;
  unsigned short port;
  std::atomic<int> connections{0};
  std::vector<std::weak_ptr<Channel>> channels;

  void broadcast(LiveGame::Message const& message);
  Response respond(Request const& request) const;
  // Why a WebSocket upgrade is refused, or "" to accept it.
  std::string refuse_upgrade(Request const& request) const;
  // The answer to one message from a page, or nullptr for none.
  std::shared_ptr<std::string const> answer(std::string const& text) const;

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

  if (request.method() == http::verb::post && path == "/replay") {
    Json const game = Json::parse(request.body(), nullptr, false);
    if (game.is_discarded())
      return make_response(
          request, http::status::bad_request,
          Json{{"frames", Json::array()}, {"error", "the game is not JSON"}}.dump(),
          "application/json");
    return make_response(request, http::status::ok,
                         replay_game(game).dump(-1, ' ', false, Json::error_handler_t::replace),
                         "application/json");
  }
  if (request.method() != http::verb::get) {
    Response response =
        text_response(request, http::status::method_not_allowed, "Only GET, and POST /replay.");
    response.set(http::field::allow, path == "/replay" ? "POST" : "GET");
    return response;
  }
  if (path == "/state")
    return make_response(request, http::status::ok, *live.state().text, "application/json");
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

std::string Hub::refuse_upgrade(Request const& request) const {
  if (!own_host(view(request[http::field::host]))) return "This server answers only to 127.0.0.1.";
  std::string_view const origin = view(request[http::field::origin]);
  if (!origin.empty() && !own_origin(origin)) return "Pages of other sites may not connect.";
  std::string_view const target = view(request.target());
  if (target.substr(0, target.find('?')) != "/live") return "The WebSocket is at /live.";
  return "";
}

std::shared_ptr<std::string const> Hub::answer(std::string const& text) const {
  Json const message = Json::parse(text, nullptr, false);
  std::string error;
  if (!message.is_object() || message.value("type", Json()) != "move") {
    error = "The manager did not understand the page's message.";
  } else {
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
  Channel(tcp::socket&& socket, Hub& hub) : ws_(std::move(socket)), hub_(hub) {
    ++hub_.connections;
  }
  ~Channel() { --hub_.connections; }

  void run(Request request) {
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.set_option(websocket::stream_base::decorator([](websocket::response_type& response) {
      response.set(http::field::server, "vorak-manager");
    }));
    ws_.read_message_max(MAX_MESSAGE);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
      if (!ec) self->start();
    });
  }

  void deliver(LiveGame::Message const& message) {
    if (message.seq <= last_seq_) return;  // already sent, or older than what was
    last_seq_ = message.seq;
    send(message.text);
  }

 private:
  void start() {
    hub_.channels.push_back(weak_from_this());
    deliver(hub_.live.state());
    read();
  }

  void read() {
    ws_.async_read(buffer_, [self = shared_from_this()](beast::error_code ec, std::size_t) {
      if (ec) return;  // closed; the last handler's end frees the channel
      std::string const text = beast::buffers_to_string(self->buffer_.data());
      self->buffer_.consume(self->buffer_.size());
      if (auto reply = self->hub_.answer(text)) self->send(reply);
      self->read();
    });
  }

  void send(std::shared_ptr<std::string const> const& text) {
    if (queue_.size() >= MAX_QUEUE) {
      beast::error_code ec;
      beast::get_lowest_layer(ws_).socket().close(ec);
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
                      if (!self->queue_.empty()) self->write();
                    });
  }

  websocket::stream<beast::tcp_stream> ws_;
  Hub& hub_;
  beast::flat_buffer buffer_;
  std::deque<std::shared_ptr<std::string const>> queue_;
  std::uint64_t last_seq_ = 0;
};

void Hub::broadcast(LiveGame::Message const& message) {
  std::vector<std::weak_ptr<Channel>> alive;
  for (std::weak_ptr<Channel> const& weak : channels) {
    if (std::shared_ptr<Channel> const channel = weak.lock()) {
      channel->deliver(message);
      alive.push_back(weak);
    }
  }
  channels = std::move(alive);
}

// One HTTP connection: requests in turn until the client closes or goes quiet, or asks for
// the WebSocket.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
 public:
  HttpSession(tcp::socket&& socket, Hub& hub) : stream_(std::move(socket)), hub_(hub) {
    ++hub_.connections;
  }
  ~HttpSession() { --hub_.connections; }

  void read() {
    parser_.emplace();
    parser_->header_limit(16 * 1024);
    parser_->body_limit(WebServer::MAX_BODY);
    stream_.expires_after(HTTP_TIMEOUT);
    http::async_read(
        stream_, buffer_, *parser_,
        [self = shared_from_this()](beast::error_code ec, std::size_t) { self->on_read(ec); });
  }

 private:
  void on_read(beast::error_code ec) {
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
    if (websocket::is_upgrade(request)) {
      std::string const refusal = hub_.refuse_upgrade(request);
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
      response = text_response(request, http::status::internal_server_error, e.what());
    }
    send(std::move(response));
  }

  void send(Response response) {
    response_ = std::make_shared<Response>(std::move(response));
    response_->prepare_payload();
    stream_.expires_after(HTTP_TIMEOUT);
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
  }

  beast::tcp_stream stream_;
  Hub& hub_;
  beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  std::shared_ptr<Response> response_;
};

}  // namespace

struct WebServer::Impl {
  Impl(LiveGame& live, unsigned short port) : hub(live, port) {}

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
      if (hub.connections >= MAX_CONNECTIONS) {
        beast::error_code ignored;
        socket.close(ignored);
      } else {
        std::make_shared<HttpSession>(std::move(socket), hub)->read();
      }
      accept();
    });
  }

  // Declared first, destroyed last: the sessions that io_context still holds refer to it.
  Hub hub;
  asio::io_context ioc{1};
  tcp::acceptor acceptor{ioc};
  asio::steady_timer retry{ioc};
  std::optional<asio::signal_set> signals;
  std::thread thread;
};

WebServer::WebServer(LiveGame& live, unsigned short port)
    : impl_(std::make_unique<Impl>(live, port)) {
  Impl& s = *impl_;
  beast::error_code ec;
  tcp::endpoint const endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
  s.acceptor.open(endpoint.protocol(), ec);
  if (!ec) s.acceptor.set_option(asio::socket_base::reuse_address(true), ec);
  if (!ec) s.acceptor.bind(endpoint, ec);
  if (!ec) s.acceptor.listen(asio::socket_base::max_listen_connections, ec);
  if (ec)
    throw "cannot serve the web page on 127.0.0.1:" + std::to_string(port) + ": " + ec.message();
  s.hub.port = s.acceptor.local_endpoint().port();

  live.set_listener([&s](LiveGame::Message const& message) {
    asio::post(s.ioc, [&s, message] { s.hub.broadcast(message); });
  });
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
  impl_->hub.live.set_listener(nullptr);
  impl_->ioc.stop();
  if (impl_->thread.joinable()) impl_->thread.join();
}

unsigned short WebServer::port() const {
  return impl_->hub.port;
}

void WebServer::wait_for_interrupt() {
  std::promise<void> interrupted;
  std::future<void> done = interrupted.get_future();
  asio::post(impl_->ioc, [this, &interrupted] {
    impl_->signals.emplace(impl_->ioc, SIGINT, SIGTERM);
    impl_->signals->async_wait([&interrupted](beast::error_code, int) { interrupted.set_value(); });
  });
  done.wait();
}

}  // namespace manager
