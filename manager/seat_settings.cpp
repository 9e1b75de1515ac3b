#include "manager/seat_settings.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
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
// The tree search's clocks: its own per turn, or the calendar's seconds as the flat search's.
constexpr char const* CLOCKS[] = {"turn", "calendar"};

constexpr double LONGEST_THINKING = 3600;
constexpr double SHORTEST_TREE_THINKING = 0.05;
constexpr unsigned long LARGEST_TREE_MB = 1048576;  // 1 TiB

// "a, b" of the names, for a refusal.
template <std::size_t N>
std::string listed(char const* const (&names)[N]) {
  return boost::algorithm::join(std::vector<std::string>(std::begin(names), std::end(names)), ", ");
}

template <std::size_t N>
bool one_of(char const* const (&names)[N], std::string const& value) {
  return std::find(std::begin(names), std::end(names), value) != std::end(names);
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

// A time as given, read once the engine is known: "bot:time=0.2,engine=mcts".
struct Reading {
  SeatSettings settings;
  std::string time_text;
};

// Reads one "KEY=VALUE"; the reason of a refusal otherwise.
std::optional<std::string> read_setting(std::string const& item, Reading& reading) {
  SeatSettings& settings = reading.settings;
  std::string::size_type const equals = item.find('=');
  if (equals == std::string::npos) return "the setting \"" + item + "\" is not KEY=VALUE";
  std::string const key = item.substr(0, equals);
  std::string const value = item.substr(equals + 1);
  auto twice = [&key] { return key + " is given twice"; };
  if (key == "time") {
    if (!reading.time_text.empty()) return twice();
    if (value.empty()) return std::string("time takes a number of seconds");
    reading.time_text = value;
  } else if (key == "threads") {
    if (settings.threads) return twice();
    std::optional<unsigned long> const n = whole_number(value, 0, 256);
    if (!n) return "threads takes a whole number from 0 (every core) to 256, not \"" + value + "\"";
    settings.threads = static_cast<unsigned>(*n);
  } else if (key == "engine") {
    if (settings.engine) return twice();
    if (!one_of(ENGINES, value))
      return "engine takes " + listed(ENGINES) + ", not \"" + value + "\"";
    settings.engine = value;
  } else if (key == "parallel") {
    if (settings.parallel) return twice();
    if (!one_of(PARALLELS, value))
      return "parallel takes " + listed(PARALLELS) + ", not \"" + value + "\"";
    settings.parallel = value;
  } else if (key == "tree_mb") {
    if (settings.tree_mb) return twice();
    std::optional<unsigned long> const n = whole_number(value, 1, LARGEST_TREE_MB);
    if (!n)
      return "tree_mb takes a whole number of MiB from 1 to " + std::to_string(LARGEST_TREE_MB) +
             ", not \"" + value + "\"";
    settings.tree_mb = *n;
  } else if (key == "clock") {
    if (settings.clock) return twice();
    if (!one_of(CLOCKS, value)) return "clock takes " + listed(CLOCKS) + ", not \"" + value + "\"";
    settings.clock = value;
  } else {
    return "unknown setting \"" + key +
           "\": a bot seat takes time, threads, engine, parallel, tree_mb and clock";
  }
  return std::nullopt;
}

// The bot's settings, read and checked against each other.
std::optional<SeatSettings> bot_choice(std::string const& text, std::string& error) {
  Reading reading;
  std::vector<std::string> items;
  boost::algorithm::split(items, text, [](char c) { return c == ','; });
  for (std::string const& item : items) {
    if (std::optional<std::string> const refused = read_setting(item, reading)) {
      error = "bot: " + *refused;
      return std::nullopt;
    }
  }
  SeatSettings& settings = reading.settings;
  bool const tree = settings.engine.value_or("flat") == "mcts";
  // Only the tree search has these.
  std::vector<std::string> tree_only;
  if (settings.parallel) tree_only.push_back("parallel=" + *settings.parallel);
  if (settings.tree_mb) tree_only.push_back("tree_mb=" + std::to_string(*settings.tree_mb));
  if (settings.clock) tree_only.push_back("clock=" + *settings.clock);
  if (!tree && !tree_only.empty()) {
    error = "bot: " + tree_only.front() + " is a setting of engine=mcts, not of the flat search";
    return std::nullopt;
  }
  if (!reading.time_text.empty()) {
    std::string why;
    settings.seconds = thinking_time(reading.time_text, tree, why);
    if (!settings.seconds) {
      error = "bot: time " + why;
      return std::nullopt;
    }
  }
  return settings;
}

}  // namespace

bool thinking_time_fits(double seconds, bool tree_search, std::string& error) {
  bool const whole = seconds == std::floor(seconds);
  if (tree_search) {
    if (seconds >= SHORTEST_TREE_THINKING && seconds <= LONGEST_THINKING) return true;
    error = "takes seconds from 0.05 to 3600 (three decimals at most), not " +
            thinking_time_text(seconds);
  } else if (whole && seconds >= 1 && seconds <= LONGEST_THINKING) {
    return true;
  } else if (!whole && seconds > 0 && seconds < LONGEST_THINKING) {
    error = "takes whole seconds with the flat search, not " + thinking_time_text(seconds) +
            ": fractions of a second are for engine=mcts";
  } else {
    error = "takes whole seconds from 1 to 3600, not " + thinking_time_text(seconds);
  }
  return false;
}

std::optional<double> thinking_time(std::string const& text, bool tree_search, std::string& error) {
  // Digits with at most one point and three decimals: nothing a stream reader would stretch.
  std::size_t const point = text.find('.');
  bool ok = !text.empty() && text.size() <= 9 && text.front() != '.' && text.back() != '.' &&
            (point == std::string::npos || text.size() - point - 1 <= 3);
  for (std::size_t i = 0; ok && i < text.size(); ++i)
    ok = (text[i] >= '0' && text[i] <= '9') || i == point;
  if (!ok) {
    error = (tree_search ? "takes seconds from 0.05 to 3600 (three decimals at most)"
                         : "takes whole seconds from 1 to 3600") +
            std::string(", not \"") + text + "\"";
    return std::nullopt;
  }
  double const seconds = std::stod(text);
  if (!thinking_time_fits(seconds, tree_search, error)) return std::nullopt;
  return seconds;
}

std::string thinking_time_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  std::string out = text;
  out.erase(out.find_last_not_of('0') + 1);
  if (out.back() == '.') out.pop_back();
  return out;
}

std::optional<std::vector<std::string>> split_command(std::string const& text, std::string& error) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char const c = text[i];
    if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(word);
      word.clear();
      in_word = false;
    } else if (c == '\'') {
      std::size_t const end = text.find('\'', i + 1);
      if (end == std::string::npos) {
        error = "a quote ' is not closed";
        return std::nullopt;
      }
      word += text.substr(i + 1, end - i - 1);
      in_word = true;
      i = end;
    } else if (c == '"') {
      in_word = true;
      for (++i;; ++i) {
        if (i >= text.size()) {
          error = "a quote \" is not closed";
          return std::nullopt;
        }
        if (text[i] == '"') break;
        if (text[i] == '\\' && i + 1 < text.size() &&
            std::string("\"\\$`").find(text[i + 1]) != std::string::npos)
          ++i;
        word += text[i];
      }
    } else if (c == '\\') {
      if (i + 1 >= text.size()) {
        error = "a backslash ends the command";
        return std::nullopt;
      }
      word += text[++i];
      in_word = true;
    } else if (std::string("|&;<>()$`*?[").find(c) != std::string::npos) {
      error = std::string("runs no shell: quote the ") + c + " to pass it on as it is";
      return std::nullopt;
    } else {
      word += c;
      in_word = true;
    }
  }
  if (in_word) words.push_back(word);
  if (words.empty()) {
    error = "takes the command that runs the program";
    return std::nullopt;
  }
  return words;
}

std::optional<SeatChoice> parse_seat_choice(std::string const& text, std::string& error) {
  std::string::size_type const colon = text.find(':');
  std::string const kind_text = text.substr(0, colon);
  std::optional<SeatKind> const kind = seat_kind_from(kind_text);
  if (!kind) {
    error = "takes tcp, random, greedy, bot, human or cmd:COMMAND, not \"" + kind_text + "\"";
    return std::nullopt;
  }
  SeatChoice choice;
  choice.kind = *kind;
  if (*kind == SeatKind::COMMAND) {
#ifdef _WIN32
    error = "cmd: seats start programs on POSIX systems only";
    return std::nullopt;
#else
    std::string const command = colon == std::string::npos ? "" : text.substr(colon + 1);
    std::optional<std::vector<std::string>> words = split_command(command, error);
    if (!words) {
      error = "cmd: " + error;
      return std::nullopt;
    }
    choice.settings.command = std::move(*words);
    choice.settings.command_text = command;
    return choice;
#endif
  }
  if (colon == std::string::npos) return choice;
  if (*kind != SeatKind::BOT) {
    error = kind_text + " takes no settings, only bot does, not \"" + text.substr(colon + 1) + "\"";
    return std::nullopt;
  }
  std::optional<SeatSettings> const settings = bot_choice(text.substr(colon + 1), error);
  if (!settings) return std::nullopt;
  choice.settings = *settings;
  return choice;
}

BotSettings bot_settings(SeatSettings const& given, double default_seconds) {
  BotSettings bot;
  bot.seconds = given.seconds.value_or(default_seconds);
  bot.threads = given.threads.value_or(bot.threads);
  bot.engine = given.engine.value_or(bot.engine);
  bot.parallel = given.parallel.value_or(bot.parallel);
  bot.tree_mb = given.tree_mb.value_or(bot.tree_mb);
  bot.clock = given.clock.value_or(bot.clock);
  return bot;
}

std::string seat_label(SeatKind kind, SeatSettings const& settings) {
  std::string const name = seat_kind_name(kind);
  if (kind == SeatKind::COMMAND) return name + ":" + settings.command_text;
  std::vector<std::string> parts;
  if (settings.seconds) parts.push_back("time=" + thinking_time_text(*settings.seconds));
  if (settings.threads) parts.push_back("threads=" + std::to_string(*settings.threads));
  if (settings.engine) parts.push_back("engine=" + *settings.engine);
  if (settings.parallel) parts.push_back("parallel=" + *settings.parallel);
  if (settings.tree_mb) parts.push_back("tree_mb=" + std::to_string(*settings.tree_mb));
  if (settings.clock) parts.push_back("clock=" + *settings.clock);
  return parts.empty() ? name : name + ":" + boost::algorithm::join(parts, ",");
}

}  // namespace manager
