// A bot seat's settings as the search takes them.
#include "manager/bot_settings.h"

#include <algorithm>
#include <cmath>

namespace manager {

SearchSettings search_settings(BotSettings const& bot, bool report) {
  SearchSettings settings;
  settings.engine = engine_from(bot.engine).value_or(Engine::FLAT);
  settings.threads = bot.threads;
  settings.parallel = parallel_from(bot.parallel).value_or(Parallel::ROOT);
  settings.report = report;
  settings.seconds = bot.seconds;
  settings.tree_memory_mb = bot.tree_mb;
  settings.calendar_clock = bot.clock == "calendar";
  return settings;
}

unsigned short seconds_per_move(double seconds) {
  return static_cast<unsigned short>(std::clamp(std::ceil(seconds), 1.0, 65535.0));
}

}  // namespace manager
