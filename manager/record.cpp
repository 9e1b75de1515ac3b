#include "manager/record.h"

#ifdef _WIN32
// Without the graphics part, whose ERROR macro would clash with Reason::ERROR.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define NOGDI
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

namespace manager {

namespace {

SeatStats& stats_of(SeriesStats& stats, std::string const& label) {
  for (SeatStats& s : stats.seats)
    if (s.label == label) return s;
  stats.seats.push_back(SeatStats{});
  stats.seats.back().label = label;
  return stats.seats.back();
}

}  // namespace

SeriesStats summarize(std::vector<GameRecord> const& games) {
  SeriesStats stats;
  long long actions = 0;
  for (GameRecord const& g : games) {
    ++stats.games;
    actions += static_cast<long long>(g.actions.size());
    if (g.winner == WHITE) ++stats.white_wins;
    if (g.winner == BLACK) ++stats.black_wins;
    if (g.winner == NONE) ++stats.no_result;
    for (Players p : {WHITE, BLACK}) {
      SeatStats& s = stats_of(stats, p == WHITE ? g.white : g.black);
      bool const won = g.winner == p;
      ++s.games;
      s.wins += won ? 1 : 0;
      (p == WHITE ? s.games_as_white : s.games_as_black) += 1;
      (p == WHITE ? s.wins_as_white : s.wins_as_black) += won ? 1 : 0;
      for (ActionRecord const& a : g.actions) {
        if (a.player != p) continue;
        ++s.actions;
        s.think_total += a.seconds;
        s.think_longest = std::max(s.think_longest, a.seconds);
      }
    }
  }
  if (stats.games > 0) stats.average_actions = static_cast<double>(actions) / stats.games;
  return stats;
}

std::string results_table(SeriesStats const& stats) {
  std::ostringstream out;
  out << "Results of " << stats.games << (stats.games == 1 ? " game" : " games") << "\n";
  out << "  White won " << stats.white_wins << ", Black won " << stats.black_wins << ", no result "
      << stats.no_result << "\n";
  out << "  Average actions per game: " << std::fixed << std::setprecision(1)
      << stats.average_actions << "\n\n";
  // Labels with settings ("bot:time=4,threads=2") widen the first column.
  int seat_width = 12;
  for (SeatStats const& s : stats.seats)
    seat_width = std::max(seat_width, static_cast<int>(s.label.size()) + 2);
  out << std::left << std::setw(seat_width) << "Seat" << std::right << std::setw(6) << "Games"
      << std::setw(6) << "Wins" << std::setw(11) << "as White" << std::setw(11) << "as Black"
      << std::setw(14) << "s/action avg" << std::setw(14) << "s/action max"
      << "\n";
  for (SeatStats const& s : stats.seats) {
    double const average = s.actions > 0 ? s.think_total / s.actions : 0.0;
    out << std::left << std::setw(seat_width) << s.label << std::right << std::setw(6) << s.games
        << std::setw(6) << s.wins << std::setw(11)
        << (std::to_string(s.wins_as_white) + "/" + std::to_string(s.games_as_white))
        << std::setw(11)
        << (std::to_string(s.wins_as_black) + "/" + std::to_string(s.games_as_black))
        << std::setw(14) << std::setprecision(3) << average << std::setw(14) << s.think_longest
        << "\n";
  }
  return out.str();
}

Json colour_json(Players p) {
  if (p == WHITE) return "white";
  if (p == BLACK) return "black";
  return nullptr;
}

Json action_json(ActionRecord const& a) {
  return {{"number", a.number}, {"player", colour_json(a.player)},
          {"step", a.step},     {"move", a.move},
          {"kind", a.kind},     {"seconds", a.seconds}};
}

Json game_json(GameRecord const& game) {
  Json actions = Json::array();
  for (ActionRecord const& a : game.actions) actions.push_back(action_json(a));
  Json think = Json::object();
  for (Players p : {WHITE, BLACK}) {
    int count = 0;
    double total = 0, longest = 0;
    for (ActionRecord const& a : game.actions) {
      if (a.player != p) continue;
      ++count;
      total += a.seconds;
      longest = std::max(longest, a.seconds);
    }
    think[p == WHITE ? "white" : "black"] = {{"actions", count},
                                             {"total", total},
                                             {"average", count > 0 ? total / count : 0.0},
                                             {"longest", longest}};
  }
  return {{"game", game.game},
          {"white", game.white},
          {"black", game.black},
          {"setup_seed", game.setup_seed ? Json(*game.setup_seed) : Json(nullptr)},
          {"start", game.start},
          {"actions", actions},
          {"refused", game.refused ? action_json(*game.refused) : Json(nullptr)},
          {"winner", colour_json(game.winner)},
          {"reason", reason_name(game.reason)},
          {"detail", game.detail},
          {"think", think}};
}

Json series_json(std::vector<GameRecord> const& games, std::uint32_t seed) {
  Json list = Json::array();
  for (GameRecord const& g : games) list.push_back(game_json(g));
  SeriesStats const stats = summarize(games);
  Json seats = Json::array();
  for (SeatStats const& s : stats.seats) {
    seats.push_back({{"seat", s.label},
                     {"games", s.games},
                     {"wins", s.wins},
                     {"games_as_white", s.games_as_white},
                     {"wins_as_white", s.wins_as_white},
                     {"games_as_black", s.games_as_black},
                     {"wins_as_black", s.wins_as_black},
                     {"actions", s.actions},
                     {"think_average", s.actions > 0 ? s.think_total / s.actions : 0.0},
                     {"think_longest", s.think_longest}});
  }
  return {{"seed", seed},
          {"games", list},
          {"summary",
           {{"games", stats.games},
            {"white_wins", stats.white_wins},
            {"black_wins", stats.black_wins},
            {"no_result", stats.no_result},
            {"average_actions", stats.average_actions},
            {"seats", seats}}}};
}

namespace {

// A name beside `path` that is not likely to be taken: the file is created only if it is not.
std::string temporary_name(std::string const& path) {
  static std::atomic<unsigned> count{0};
  static unsigned const salt = std::random_device{}();
  unsigned const mixed =
      salt ^ (count++ * 0x9E3779B9u) ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::ostringstream name;
  name << path << '.' << std::hex << std::setw(8) << std::setfill('0') << mixed << ".tmp";
  return name.str();
}

#ifdef _WIN32

std::string system_text(DWORD code) {
  return std::error_code(static_cast<int>(code), std::system_category()).message();
}

// Creates a new file (CREATE_NEW never opens what is there, link or file), writes and flushes
// it, then moves it over `path` with the move itself written through to the disk.
bool replace_file(std::string const& path, std::string const& text, std::string& error) {
  std::wstring const target = std::filesystem::path(path).wstring();
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string const temporary = temporary_name(path);
    std::wstring const name = std::filesystem::path(temporary).wstring();
    HANDLE const file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      DWORD const code = GetLastError();
      if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) continue;
      error = "cannot create " + temporary + ": " + system_text(code);
      return false;
    }
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
      DWORD const chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1 << 30));
      DWORD written = 0;
      ok = WriteFile(file, text.data() + done, chunk, &written, nullptr) && written > 0;
      done += written;
    }
    ok = ok && FlushFileBuffers(file);
    DWORD const code = ok ? 0 : GetLastError();
    ok = CloseHandle(file) && ok;
    if (!ok) {
      error = "cannot write " + temporary + ": " + system_text(code ? code : GetLastError());
      DeleteFileW(name.c_str());
      return false;
    }
    // A record that someone reads (or another manager replaces) just now cannot be replaced on
    // Windows: try again for a moment.
    DWORD failure = 0;
    for (int wait = 0; wait < 20; ++wait) {
      if (MoveFileExW(name.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure = 0;
        break;
      }
      failure = GetLastError();
      if (failure != ERROR_ACCESS_DENIED && failure != ERROR_SHARING_VIOLATION) break;
      Sleep(50);
    }
    if (failure != 0) {
      error = "cannot replace " + path + ": " + system_text(failure);
      DeleteFileW(name.c_str());
      return false;
    }
    return true;
  }
  error = "cannot create a temporary file beside " + path;
  return false;
}

#else

std::string folder_of(std::string const& path) {
  std::string const folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

std::string system_text(int code) {
  return std::error_code(code, std::generic_category()).message();
}

// O_EXCL with O_CREAT never opens what is there, link or file; the mode is that of any new file
// under the umask, as the record always had.
bool replace_file(std::string const& path, std::string const& text, std::string& error) {
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temporary = temporary_name(path);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = "cannot create " + temporary + ": " + system_text(errno);
    return false;
  }
  int code = 0;
  for (std::size_t done = 0; code == 0 && done < text.size();) {
    ssize_t const n = ::write(fd, text.data() + done, text.size() - done);
    if (n > 0)
      done += static_cast<std::size_t>(n);
    else if (n < 0 && errno != EINTR)
      code = errno;
  }
  if (code == 0 && ::fsync(fd) != 0) code = errno;
  if (::close(fd) != 0 && code == 0) code = errno;
  if (code != 0) {
    error = "cannot write " + temporary + ": " + system_text(code);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot replace " + path + ": " + system_text(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  // The new name must reach the disk too. Some file systems cannot sync a folder; the record
  // itself is written by then, so that is no failure.
  int const folder = ::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return true;
}

#endif

}  // namespace

bool write_record(std::string const& path, Json const& record, std::string& error) {
  // Client text in the record is escaped already; anything else that is not UTF-8 is replaced.
  return replace_file(path, record.dump(2, ' ', false, Json::error_handler_t::replace) + "\n",
                      error);
}

bool RecordFile::update(std::function<Json()> const& make, bool now, std::string& error) {
  Clock::time_point const start = Clock::now();
  if (!now && start < due_) return true;
  bool const written = write_record(path_, make(), error);
  Clock::time_point const end = Clock::now();
  due_ = end + 9 * (end - start);
  return written;
}

}  // namespace manager
