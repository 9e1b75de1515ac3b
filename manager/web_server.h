// The live board's web server on 127.0.0.1: the page (embedded in the program), the state of
// the game in progress over a WebSocket, the human seat's moves from the page, and the replay
// of recorded games. It runs on a thread of its own beside the match loop.
//
//   GET  /, /app.js, /style.css   the page
//   GET  /state                   the current state message (JSON)
//   POST /replay                  one game of a record in, its positions out (JSON)
//   GET  /live                    WebSocket: every state message as it comes; the page sends
//                                 {"type": "move", "action": N, "move": "sr,si,tr,ti"}
//                                 and hears {"type": "refused", "message": ...} when it is not
//                                 played
#ifndef DRAVIX_MANAGER_WEB_SERVER_H
#define DRAVIX_MANAGER_WEB_SERVER_H

#include <memory>

#include "manager/web_game.h"

namespace manager {

class WebServer {
 public:
  // Most connections served at once; more are closed as they come.
  static constexpr int MAX_CONNECTIONS = 64;
  // Largest request body: a recorded game is a few kilobytes.
  static constexpr std::size_t MAX_BODY = 1 << 20;

  // Listens on 127.0.0.1:`port` (0: any free port) and starts serving `live`, which must
  // outlive the server. Throws a std::string when it cannot listen.
  WebServer(LiveGame& live, unsigned short port);
  ~WebServer();
  WebServer(WebServer const&) = delete;
  WebServer& operator=(WebServer const&) = delete;

  unsigned short port() const;
  // Blocks until the process is asked to stop (SIGINT or SIGTERM).
  void wait_for_interrupt();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace manager

#endif
