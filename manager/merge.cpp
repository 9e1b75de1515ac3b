#include "manager/merge.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "manager/duel.h"
#include "manager/record.h"

namespace manager {

namespace {

// "game 7", "games 17 to 24".
std::string games_text(int first, int last) {
  return first == last ? "game " + std::to_string(first)
                       : "games " + std::to_string(first) + " to " + std::to_string(last);
}

// Two records of one game number are of one game when its seats and start agree; its play may
// differ where the thinking time made it.
bool same_game(GameRecord const& a, GameRecord const& b) {
  return a.white == b.white && a.black == b.black && a.setup_seed == b.setup_seed &&
         a.start == b.start;
}

// Why `record` is not a part of the duel of `first`, or "".
std::string other_duel(ReadRecord const& record, ReadRecord const& first) {
  if (record.seed != first.seed) return "another seed";
  if (record.pairs != first.pairs)
    return record.pairs ? "pairs, where the other has single games" : "single games, not pairs";
  if (record.seat != first.seat || record.against != first.against) return "other seats";
  return "";
}

// At most this many ranges of missing games are listed, then how many more there are.
constexpr std::size_t LISTED_RANGES = 10;

std::string missing_text(std::vector<std::pair<int, int>> const& ranges) {
  std::string text = "Missing: ";
  for (std::size_t k = 0; k < ranges.size() && k < LISTED_RANGES; ++k)
    text += (k > 0 ? ", " : "") + games_text(ranges[k].first, ranges[k].second);
  if (ranges.size() > LISTED_RANGES)
    text += " and " + std::to_string(ranges.size() - LISTED_RANGES) + " ranges more";
  return text + " (no record holds them played to their end)";
}

}  // namespace

std::optional<Merged> merge_records(std::vector<MergeSource> sources,
                                    std::optional<SprtHypotheses> const& sprt, std::string& error) {
  if (sources.empty()) {
    error = "--merge takes the records to merge";
    return std::nullopt;
  }
  Merged merged;
  ReadRecord const& first = sources.front().record;
  for (MergeSource const& source : sources) {
    std::string const why = other_duel(source.record, first);
    if (!why.empty()) {
      error = source.name + " is not of the duel of " + sources.front().name + ": " + why;
      return std::nullopt;
    }
  }
  merged.seed = first.seed;
  merged.seat = first.seat;
  merged.against = first.against;
  merged.pairs = first.pairs;

  // By game number: the first record of it (for the checks) and the one counted, with its
  // source.
  std::map<int, std::pair<std::size_t, GameRecord*>> seen, counted;
  std::vector<std::pair<std::size_t, int>> interrupted;  // source, game
  for (std::size_t s = 0; s < sources.size(); ++s) {
    int repeats = 0, first_repeat = 0, last_repeat = 0;
    for (GameRecord& g : sources[s].record.games) {
      auto const [before, is_new] = seen.emplace(g.game, std::pair(s, &g));
      if (!is_new && !same_game(*before->second.second, g)) {
        error = "game " + std::to_string(g.game) + " of " + sources[s].name + " is not game " +
                std::to_string(g.game) + " of " + sources[before->second.first].name +
                ": its seats or its start differ";
        return std::nullopt;
      }
      // A game cut short by the end of its job is no result of the duel: never counted.
      if (g.reason == Reason::INTERRUPTED) {
        interrupted.emplace_back(s, g.game);
      } else if (!counted.emplace(g.game, std::pair(s, &g)).second) {
        if (repeats++ == 0) first_repeat = g.game;
        last_repeat = g.game;
      }
    }
    if (repeats > 0)
      merged.notes.push_back(sources[s].name + " repeats " + std::to_string(repeats) +
                             (repeats == 1 ? " game" : " games") + " of the records before it (" +
                             games_text(first_repeat, last_repeat) +
                             "): each is counted once, as the first record has it");
  }
  for (auto const& [s, game] : interrupted) {
    auto const other = counted.find(game);
    merged.notes.push_back(
        "Game " + std::to_string(game) + " of " + sources[s].name +
        " was interrupted: it is left out" +
        (other == counted.end() ? "" : "; " + sources[other->second.first].name + " has it whole"));
  }
  merged.last_game = seen.empty() ? 0 : seen.rbegin()->first;

  // In game order: with a test, as one series would have counted them, up to the first game
  // that is missing or to the verdict.
  DuelScore score = duel_score({}, merged.seat, merged.pairs);
  std::vector<std::pair<int, int>> missing;
  int expected = 1;
  int left_out = 0;
  for (auto& [number, chosen] : counted) {
    if (number != expected) {
      missing.emplace_back(expected, number - 1);
      if (sprt && merged.end.empty())
        merged.end = "game " + std::to_string(expected) +
                     " is missing, and the test takes the games in order only";
    }
    expected = number + 1;
    if (!merged.end.empty()) {
      ++left_out;
      continue;
    }
    add_to_score(score, *chosen.second, merged.seat);
    merged.games.push_back(std::move(*chosen.second));
    bool const whole_pair = !merged.pairs || number % 2 == 0;
    if (sprt && whole_pair && sprt_verdict(duel_llr(score, *sprt)) != SprtVerdict::GOING_ON)
      merged.end = "the test reached its verdict at game " + std::to_string(number);
  }
  if (expected <= merged.last_game) missing.emplace_back(expected, merged.last_game);
  if (!missing.empty()) merged.notes.push_back(missing_text(missing));
  if (left_out > 0)
    merged.end += "; the " + std::to_string(left_out) + (left_out == 1 ? " game" : " games") +
                  " after it " + (left_out == 1 ? "is" : "are") + " left out";
  return merged;
}

int run_merge(std::vector<std::string> const& paths, std::optional<SprtHypotheses> const& sprt,
              std::string const& record_path, std::ostream& out, std::ostream& err) {
  std::string error;
  std::optional<RecordFile> record_file;
  if (!record_path.empty()) {
    record_file.emplace(record_path);
    if (!record_file->open(error)) {
      err << "vorak-manager: --record: " << error << "\n";
      return 2;
    }
  }
  std::vector<MergeSource> sources;
  for (std::string const& path : paths) {
    std::optional<ReadRecord> record = read_record_file(path, error);
    if (!record) {
      err << "vorak-manager: " << error << "\n";
      return 2;
    }
    sources.push_back(MergeSource{path, std::move(*record)});
  }
  std::size_t const records = sources.size();
  std::optional<Merged> const merged = merge_records(std::move(sources), sprt, error);
  if (!merged) {
    err << "vorak-manager: " << error << "\n";
    return 2;
  }

  out << "Seed: " << merged->seed << "\n";
  int status = 0;
  SeriesStats stats;
  DuelScore score = duel_score({}, merged->seat, merged->pairs);
  int const games = static_cast<int>(merged->games.size());
  for (GameRecord const& g : merged->games) {
    add_to_stats(stats, g);
    add_to_score(score, g, merged->seat);
    out << result_line(g) << "\n" << running_text(score, stats.games, games, sprt) << "\n";
    if (record_file && status == 0 && !record_file->add(g, error)) {
      err << "vorak-manager: " << error << "\n";
      status = 1;
    }
  }
  for (std::string const& note : merged->notes) out << note << "\n";
  auto const tail = [&] {
    return Json{{"summary", summary_json(stats)},
                {"duel", duel_json(score, merged->seat, merged->against, sprt)}};
  };
  if (record_file && status == 0 && !record_file->update(merged->seed, tail, true, error)) {
    err << "vorak-manager: " << error << "\n";
    status = 1;
  }
  out << "\n"
      << results_table(stats) << "\n"
      << duel_text(score, merged->seat, merged->against, sprt);
  std::string const in = std::to_string(records) + (records == 1 ? " record" : " records");
  if (merged->last_game == 0)
    out << "Counted no games: the " << in << (records == 1 ? " holds" : " hold") << " none.\n";
  else
    out << "Counted " << games << " of the games numbered 1 to " << merged->last_game << " in "
        << in << ", in game order" << (merged->end.empty() ? "" : ": " + merged->end) << ".\n";
  out << std::flush;
  return status;
}

}  // namespace manager
