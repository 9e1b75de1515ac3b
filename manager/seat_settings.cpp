#include "manager/seat_settings.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <boost/algorithm/string/join.hpp>
#include <boost/algorithm/string/split.hpp>

namespace manager {

namespace {

// The engines a bot seat can run; a new engine is one more name here.
constexpr char const* ENGINES[] = {"flat", "mcts"};
// How the tree search's threads share a position.
constexpr char const* PARALLELS[] = {"root", "tree"};

// "a, b" of the names, for a refusal.
template <std::size_t N>
std::string listed(char const* const (&names)[N]) {
  return boost::algorithm::join(std::vector<std::string>(std::begin(names), std::end(names)), ", ");
}

// A plain decimal number within [low, high], or nothing.
std::optional<unsigned long> whole_number(std::string const& text, unsigned long low,
                                          unsigned long high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  unsigned long const value = std::stoul(text);
  if (value < low || value > high) return std::nullopt;
  return value;
}

// Reads one "KEY=VALUE" into `settings`; the reason of a refusal otherwise.
std::optional<std::string> read_setting(std::string const& item, SeatSettings& settings) {
  std::string::size_type const equals = item.find('=');
  if (equals == std::string::npos) return "the setting \"" + item + "\" is not KEY=VALUE";
  std::string const key = item.substr(0, equals);
  std::string const value = item.substr(equals + 1);
  if (key == "time") {
    if (settings.seconds) return std::string("time is given twice");
    std::optional<unsigned long> const n = whole_number(value, 1, 65535);
    if (!n) return "time takes whole seconds from 1 to 65535, not \"" + value + "\"";
    settings.seconds = static_cast<unsigned short>(*n);
  } else if (key == "threads") {
    if (settings.threads) return std::string("threads is given twice");
    std::optional<unsigned long> const n = whole_number(value, 0, 256);
    if (!n) return "threads takes a whole number from 0 (every core) to 256, not \"" + value + "\"";
    settings.threads = static_cast<unsigned>(*n);
  } else if (key == "engine") {
    if (settings.engine) return std::string("engine is given twice");
    if (std::find(std::begin(ENGINES), std::end(ENGINES), value) == std::end(ENGINES))
      return "engine takes " + listed(ENGINES) + ", not \"" + value + "\"";
    settings.engine = value;
  } else if (key == "parallel") {
    if (settings.parallel) return std::string("parallel is given twice");
    if (std::find(std::begin(PARALLELS), std::end(PARALLELS), value) == std::end(PARALLELS))
      return "parallel takes " + listed(PARALLELS) + ", not \"" + value + "\"";
    settings.parallel = value;
  } else {
    return "unknown setting \"" + key + "\": a bot seat takes time, threads, engine and parallel";
  }
  return std::nullopt;
}

}  // namespace

std::optional<SeatChoice> parse_seat_choice(std::string const& text, std::string& error) {
  std::string::size_type const colon = text.find(':');
  std::string const kind_text = text.substr(0, colon);
  std::optional<SeatKind> const kind = seat_kind_from(kind_text);
  if (!kind) {
    error = "takes tcp, random, greedy, bot or human, not \"" + kind_text + "\"";
    return std::nullopt;
  }
  SeatChoice choice;
  choice.kind = *kind;
  if (colon == std::string::npos) return choice;
  if (*kind != SeatKind::BOT) {
    error = kind_text + " takes no settings, only bot does, not \"" + text.substr(colon + 1) + "\"";
    return std::nullopt;
  }
  std::vector<std::string> items;
  boost::algorithm::split(items, text.substr(colon + 1), [](char c) { return c == ','; });
  for (std::string const& item : items) {
    if (std::optional<std::string> const refused = read_setting(item, choice.settings)) {
      error = "bot: " + *refused;
      return std::nullopt;
    }
  }
  // Only the tree search shares its work among threads in more than one way.
  if (choice.settings.parallel && choice.settings.engine.value_or("flat") != "mcts") {
    error = "bot: parallel=" + *choice.settings.parallel +
            " is a setting of engine=mcts, not of the flat search";
    return std::nullopt;
  }
  return choice;
}

BotSettings bot_settings(SeatSettings const& given, unsigned short default_seconds) {
  BotSettings bot;
  bot.seconds = given.seconds.value_or(default_seconds);
  bot.threads = given.threads.value_or(bot.threads);
  bot.engine = given.engine.value_or(bot.engine);
  bot.parallel = given.parallel.value_or(bot.parallel);
  return bot;
}

std::string seat_label(SeatKind kind, SeatSettings const& settings) {
  std::vector<std::string> parts;
  if (settings.seconds) parts.push_back("time=" + std::to_string(*settings.seconds));
  if (settings.threads) parts.push_back("threads=" + std::to_string(*settings.threads));
  if (settings.engine) parts.push_back("engine=" + *settings.engine);
  if (settings.parallel) parts.push_back("parallel=" + *settings.parallel);
  std::string const name = seat_kind_name(kind);
  return parts.empty() ? name : name + ":" + boost::algorithm::join(parts, ",");
}

}  // namespace manager
