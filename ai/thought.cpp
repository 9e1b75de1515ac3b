#include "ai/thought.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace {

constexpr std::size_t ACTION = 4;  // characters of an action in a sequence's key

// One action's playouts, and the best sequence through it.
struct ActionTally {
  std::uint64_t playouts = 0;
  std::uint64_t wins = 0;
  std::uint32_t top_wins = 0;
  std::uint32_t top_losses = 0;
  std::string top_key;
  bool has_top = false;

  // The search's order: more wins, then fewer losses.
  bool better(std::uint32_t wins_of, std::uint32_t losses_of) const {
    return !has_top || std::make_tuple(wins_of, top_losses) > std::make_tuple(top_wins, losses_of);
  }
};

std::uint32_t count_in(SequenceTable const& table, std::string const& key) {
  auto const found = table.find(key);
  return found == table.end() ? 0 : found->second;
}

}  // namespace

Thought flat_thought(SequenceTable const& best, SequenceTable const& worst,
                     std::optional<std::string> const& first, bool single,
                     std::optional<std::string> const& played) {
  // The action a sequence's key stands for here; none for a key without one ("W": the second
  // action never came).
  auto action_of = [&](std::string const& key) -> std::optional<std::string> {
    if (key.size() < ACTION) return std::nullopt;
    if (!first) return key.substr(0, ACTION);
    if (key.compare(0, ACTION, *first) != 0) return std::nullopt;
    std::string rest = key.substr(ACTION);
    if (!rest.empty() && rest.size() != ACTION) return std::nullopt;
    return rest;
  };
  Thought thought;
  std::map<std::string, ActionTally> actions;  // ordered, so that equals rank alike every time
  auto sequence = [&](std::string const& key, std::uint32_t wins, std::uint32_t losses) {
    thought.playouts += wins + losses;
    std::optional<std::string> const action = action_of(key);
    if (!action) return;
    ActionTally& a = actions[*action];
    a.playouts += wins + losses;
    a.wins += wins;
    if (a.better(wins, losses)) a = {a.playouts, a.wins, wins, losses, key, true};
  };
  for (auto const& [key, wins] : best) sequence(key, wins, count_in(worst, key));
  for (auto const& [key, losses] : worst)
    if (best.find(key) == best.end()) sequence(key, 0, losses);

  std::vector<std::pair<std::string, ActionTally>> ranked(actions.begin(), actions.end());
  std::stable_sort(ranked.begin(), ranked.end(), [](auto const& a, auto const& b) {
    return std::make_tuple(a.second.top_wins, b.second.top_losses) >
           std::make_tuple(b.second.top_wins, a.second.top_losses);
  });
  if (played) {
    auto const it = std::find_if(ranked.begin(), ranked.end(),
                                 [&](auto const& a) { return a.first == *played; });
    if (it != ranked.end())
      std::rotate(ranked.begin(), it, it + 1);
    else
      ranked.insert(ranked.begin(), {*played, ActionTally{}});
  }
  for (auto const& [move, tally] : ranked) {
    if (thought.candidates.size() == Thought::MOST_CANDIDATES) break;
    thought.candidates.push_back({move, tally.playouts, tally.wins});
  }
  if (ranked.empty()) return thought;
  ActionTally const& lead = ranked.front().second;
  std::uint32_t const seen = lead.top_wins + lead.top_losses;
  thought.value = seen == 0 ? 0.5 : static_cast<double>(lead.top_wins) / seen;
  thought.line.push_back(ranked.front().first);
  // The second action of the best sequence: four characters more, or none for the pass.
  if (!first && !single && lead.has_top) {
    std::string const second = lead.top_key.substr(ACTION);
    if (second.empty() || second.size() == ACTION) thought.line.push_back(second);
  }
  return thought;
}
