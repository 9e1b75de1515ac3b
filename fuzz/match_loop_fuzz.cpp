// Any byte stream from the server: the match loop must end the game with a result, never
// crash or hang. A scripted peer plays the server: it sends the input, then closes.
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "ai/search_state.h"
#include "match/match.h"
#include "tests/support/peer.h"

namespace {

std::ostringstream sink;  // the console commentary, discarded

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cout.rdbuf(sink.rdbuf());
  std::cerr.rdbuf(sink.rdbuf());
  searchSteps = 400;  // a search of milliseconds, not of the thinking time
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size) {
  std::string const bytes(reinterpret_cast<char const*>(data), size);
  support::ScriptedServer server([&bytes](support::Peer& peer) { peer.send(bytes); });
  int const result = play_game("127.0.0.1", static_cast<unsigned short>(server.port()), 1);
  server.join();
  sink.str(std::string());
  if (result < -1 || result > 1) std::abort();
  return 0;
}
