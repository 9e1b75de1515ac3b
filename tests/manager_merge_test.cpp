// A duel played in parts (--first-game) and merged (--merge): the parts make the whole series,
// each game counts once and never cut short, the test counts games in order, and a record
// that the manager could not have written is refused.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "manager/merge.h"
#include "manager/options.h"
#include "manager/record_reader.h"
#include "manager/series.h"
#include "tests/support/text.h"

using namespace manager;

namespace {

std::string path_of(std::string const& name) {
  return ::testing::TempDir() + "manager_merge_test_" + std::to_string(::getpid()) + "_" + name +
         ".json";
}

// Plays games first..first+games-1 of the duel of random against greedy from seed 17, in pairs;
// returns the record's path.
std::string part(int first, int games, std::optional<SprtHypotheses> sprt = std::nullopt) {
  Options o;
  o.white = SeatKind::RANDOM;
  o.black = SeatKind::GREEDY;
  o.games = games;
  o.first_game = first;
  o.pairs = o.alternate = o.quiet = true;
  o.seed = 17;
  o.sprt = sprt;
  o.record_file = path_of("part" + std::to_string(first) + "-" + std::to_string(games));
  std::ostringstream out, err;
  EXPECT_EQ(run_series(o, out, err), 0) << err.str();
  return o.record_file;
}

// A record without what the thinking time changes.
nlohmann::json timeless(std::string const& path) {
  nlohmann::json record = nlohmann::json::parse(support::read_file(path));
  for (auto& game : record["games"]) {
    game.erase("think");
    for (auto& action : game["actions"]) action.erase("seconds");
  }
  record["summary"].erase("seats");
  return record;
}

MergeSource source(std::string const& path) {
  std::string error;
  std::optional<ReadRecord> record = read_record_file(path, error);
  EXPECT_TRUE(record) << error;
  return MergeSource{path, record ? *record : ReadRecord{}};
}

std::vector<int> numbers(Merged const& merged) {
  std::vector<int> out;
  for (GameRecord const& g : merged.games) out.push_back(g.game);
  return out;
}

}  // namespace

TEST(merge, the_parts_in_any_order_make_the_whole_series) {
  std::string const whole = part(1, 12);
  std::ostringstream out, err;
  std::string const merged = path_of("merged");
  EXPECT_EQ(run_merge({part(9, 4), part(1, 4), part(5, 4)}, std::nullopt, merged, out, err), 0)
      << err.str();
  EXPECT_EQ(timeless(merged), timeless(whole));
  EXPECT_NE(out.str().find("Counted 12 of the games numbered 1 to 12 in 3 records"),
            std::string::npos)
      << out.str();
}

TEST(merge, each_game_counts_once_and_never_cut_short) {
  MergeSource const first = source(part(1, 4)), second = source(part(5, 4));
  std::string error;
  std::optional<Merged> merged = merge_records({first, second, first}, std::nullopt, error);
  ASSERT_TRUE(merged) << error;
  EXPECT_EQ(numbers(*merged), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_FALSE(merged->notes.empty());
  EXPECT_NE(merged->notes[0].find("repeats 4 games"), std::string::npos) << merged->notes[0];

  // Game 3 cut short by its job's end: left out, unless another record has it whole.
  MergeSource cut = first;
  cut.record.games[2].reason = Reason::INTERRUPTED;
  merged = merge_records({cut, second}, std::nullopt, error);
  ASSERT_TRUE(merged) << error;
  EXPECT_EQ(numbers(*merged), (std::vector<int>{1, 2, 4, 5, 6, 7, 8}));
  EXPECT_EQ(merged->notes.empty() ? "" : merged->notes.back(),
            "Missing: game 3 (no record holds them played to their end)");
  merged = merge_records({cut, first}, std::nullopt, error);
  ASSERT_TRUE(merged) << error;
  EXPECT_EQ(numbers(*merged), (std::vector<int>{1, 2, 3, 4}));

  // Parts of other duels are refused.
  MergeSource other = first;
  std::swap(other.record.games[1].white, other.record.games[1].black);
  EXPECT_FALSE(merge_records({first, other}, std::nullopt, error));
  EXPECT_NE(error.find("is not game 2 of"), std::string::npos) << error;
  other = second;
  other.record.seed = 18;
  EXPECT_FALSE(merge_records({first, other}, std::nullopt, error));
  EXPECT_NE(error.find("another seed"), std::string::npos) << error;
}

// As one series with the test stops at its verdict, the merge counts the games in order up to
// it, and never past a game that is missing.
TEST(merge, the_test_counts_games_in_order_up_to_its_verdict) {
  SprtHypotheses const sprt{0, 50};
  std::size_t const decided = timeless(part(1, 300, sprt))["games"].size();
  ASSERT_TRUE(decided > 10 && decided < 100) << decided;
  std::vector<MergeSource> parts;
  for (int first = 1; first <= 100; first += 10) parts.push_back(source(part(first, 10)));
  std::string error;
  std::optional<Merged> merged = merge_records(parts, sprt, error);
  ASSERT_TRUE(merged) << error;
  EXPECT_EQ(merged->games.size(), decided);
  EXPECT_EQ(merged->end.find("the test reached its verdict at game " + std::to_string(decided)), 0u)
      << merged->end;

  parts.erase(parts.begin() + 1);  // games 11 to 20
  merged = merge_records(parts, sprt, error);
  ASSERT_TRUE(merged) << error;
  EXPECT_EQ(merged->games.size(), 10u);
  EXPECT_EQ(merged->end,
            "game 11 is missing, and the test takes the games in order only; the 80 "
            "games after it are left out");
  EXPECT_EQ(merge_records(parts, std::nullopt, error)->games.size(), 90u);
}

TEST(merge, a_record_the_manager_could_not_have_written_is_refused) {
  std::string const good = support::read_file(part(1, 4));
  using Change = std::function<void(nlohmann::json&)>;
  std::vector<std::pair<Change, std::string>> const cases = {
      {[](auto& r) { r = nlohmann::json::array(); }, "not a JSON object"},
      {[](auto& r) {
         for (int level = 0; level < 8; ++level) r = nlohmann::json::array({r});
       },
       "nests deeper than 8"},
      {[](auto& r) { r.erase("duel"); }, "no \"duel\" summary"},
      {[](auto& r) { r["games"][0]["game"] = 0; }, "\"game\" is not a whole number"},
      {[](auto& r) { r["games"][0]["game"] = -5; }, "\"game\" is not a whole number"},
      {[](auto& r) { r["games"][0]["white"] = "bot"; }, "not the duel's two"},
      {[](auto& r) { std::swap(r["games"][2]["white"], r["games"][2]["black"]); }, "its colours"},
      {[](auto& r) { r["games"][1]["setup_seed"] = 19; }, "setup seed is not the one"},
      {[](auto& r) { r["games"][0]["start"] = r["games"][2]["start"]; }, "its start is not"},
      {[](auto& r) { r["games"][0]["actions"][0]["move"] = "1,1,1,1"; }, "not a legal action"},
      {[](auto& r) { r["games"][0]["actions"][0]["player"] = "black"; }, "side or step"},
      {[](auto& r) { r["games"][0]["actions"][0]["seconds"] = -1; }, "not a time"},
      {[](auto& r) { r["games"][0]["winner"] = "white"; }, "do not end as"},
      {[](auto& r) { r["games"][0]["reason"] = "boredom"; }, "no reason a game ends for"},
      {[](auto& r) { r["games"][0]["detail"] = "\x1b[2J"; }, "control characters"},
      {[](auto& r) { std::swap(r["games"][0], r["games"][1]); }, "keeps its games in order"},
  };
  for (auto const& [change, reason] : cases) {
    nlohmann::json record = nlohmann::json::parse(good);
    change(record);
    std::string error;
    EXPECT_FALSE(read_record(record.dump(), error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(read_record(good.substr(0, good.size() / 2), error));
  EXPECT_EQ(error, "not a record: it is not JSON");

  // The program refuses with status 2, naming the file; --merge takes no series' options.
  std::string const bad = path_of("bad");
  std::FILE* file = std::fopen(bad.c_str(), "w");
  std::fputs("{\"seed\": 1}", file);
  std::fclose(file);
  std::ostringstream out, err;
  EXPECT_EQ(run_merge({part(1, 4), bad}, std::nullopt, "", out, err), 2);
  EXPECT_NE(err.str().find(bad + ": not the record of a duel"), std::string::npos) << err.str();
  ParsedOptions const parsed = parse_options({"--merge", "a.json", "--games", "4"});
  EXPECT_EQ(parsed.status, ParsedOptions::ERROR);
  EXPECT_EQ(parse_options({"--pairs", "--games", "4", "--first-game", "4"}).status,
            ParsedOptions::ERROR);
  ParsedOptions const merge = parse_options({"--merge", "a.json", "b.json", "--sprt", "0,5"});
  ASSERT_EQ(merge.status, ParsedOptions::MERGE) << merge.message;
  EXPECT_EQ(merge.options.merge, (std::vector<std::string>{"a.json", "b.json"}));
}
