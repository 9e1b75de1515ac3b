// The live board's web server on 127.0.0.1: the page (embedded in the program), the state of
// the game in progress over a WebSocket, the human seat's moves from the page, and the replay
// of recorded games. It runs on a thread of its own beside the match loop.
//
// Only the person who started the manager may follow, play or replay: the address it prints
// carries a secret of the run (?key=...), which the page passes on wherever it is required.
//
//   GET  /, /app.js, /style.css   the page
//   GET  /state?key=K             the current state message (JSON)
//   POST /replay?key=K            one game of a record in, its positions out (JSON)
//   GET  /record?key=K            the record of --open, {"name", "record"}; 404 without one
//   POST /position?key=K          a position of the analysis board in, as the page draws and
//                                 plays it out (manager/web/analysis_board.h); with a "move",
//                                 the position after it
//   POST /analysis?key=K          a position and "seconds": its analysis begins (202), unless
//                                 one is under way (409)
//   GET  /analysis?key=K          the analysis so far (manager/web/analysis.h)
//   POST /analysis/cancel?key=K   the analysis under way ends
//   GET  /live?key=K              WebSocket: every state message as it comes; the page sends
//                                 {"type": "move", "action": N, "move": "sr,si,tr,ti"}
//                                 and hears {"type": "refused", "message": ...} when it is not
//                                 played
#ifndef DRAVIX_MANAGER_WEB_SERVER_H
#define DRAVIX_MANAGER_WEB_SERVER_H

#include <chrono>
#include <memory>
#include <string>

#include "manager/web/opened_record.h"
#include "manager/web/web_game.h"

namespace manager {

struct WebTimeouts {
  // A connection that has not sent a whole request in this time is closed: it holds a place
  // that a page load needs.
  std::chrono::milliseconds request{5000};
  // A page's WebSocket is pinged every half of this, and closed when a whole passes without a
  // word (a pong counts); a browser answers pings by itself, so an open page stays open.
  std::chrono::milliseconds idle{60000};
};

class WebServer {
 public:
  // Most HTTP connections and most WebSockets served at once. A newcomer beyond either takes
  // the place of the connection that has waited longest for its request, or of the page that
  // has been quiet longest, so that the person at the page always gets through; never the place
  // of a connection that showed the key, nor of the page that plays the human seat (with none
  // to give way, the newcomer is refused).
  static constexpr int MAX_HTTP = 32;
  static constexpr int MAX_WEBSOCKETS = 32;
  // Largest request body: a recorded game is a few kilobytes.
  static constexpr std::size_t MAX_BODY = 1 << 20;

  // Listens on 127.0.0.1:`port` (0: any free port) and starts serving `live`, which must
  // outlive the server. Throws a std::string when it cannot listen.
  WebServer(LiveGame& live, unsigned short port, WebTimeouts timeouts = WebTimeouts());
  ~WebServer();
  WebServer(WebServer const&) = delete;
  WebServer& operator=(WebServer const&) = delete;

  unsigned short port() const;
  // The secret of this run: 32 hexadecimal digits, never written anywhere but the console.
  std::string const& key() const;
  // "http://127.0.0.1:PORT/?key=KEY", the address to open.
  std::string address() const;
  // The page shows `record` when it opens.
  void show(OpenedRecord const& record);
  // Connections open now, by kind; waits for the server's thread to count them.
  struct Counts {
    int http = 0;
    int websockets = 0;
  };
  Counts counts() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace manager

#endif
