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
#include <cmath>
#include <filesystem>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "game/notation.h"

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

std::string result_line(GameRecord const& game) {
  auto const seat = [&](Players p) {
    return colour_name(p) + " (" + (p == WHITE ? game.white : game.black) + ")";
  };
  std::string line = "Game " + std::to_string(game.game) + ": ";
  if (game.winner == NONE) {
    line += "no result (" + game.detail + ")";
  } else {
    line += seat(game.winner) + " beat " + seat(opponent_of(game.winner)) + " by " +
            reason_name(game.reason) + ": " + game.detail;
  }
  return line + "; " + std::to_string(game.actions.size()) + " actions";
}

SeriesStats summarize(std::vector<GameRecord> const& games) {
  SeriesStats stats;
  for (GameRecord const& g : games) add_to_stats(stats, g);
  return stats;
}

void add_to_stats(SeriesStats& stats, GameRecord const& g) {
  ++stats.games;
  stats.actions += static_cast<long long>(g.actions.size());
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
  stats.average_actions = static_cast<double>(stats.actions) / stats.games;
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

Json thought_json(Thought const& thought, Players player) {
  // Four decimals say all a rate of playouts can; more only lengthen the record.
  auto const rate = [](double r) { return std::round(r * 10000) / 10000; };
  auto const server = [](std::string const& move) { return to_server_notation(move).value_or(""); };
  Json candidates = Json::array();
  for (Candidate const& c : thought.candidates)
    candidates.push_back({{"move", server(c.move)}, {"playouts", c.playouts}, {"wins", c.wins}});
  Json line = Json::array();
  for (std::string const& m : thought.line) line.push_back(server(m));
  return {{"engine", engine_name(thought.engine)},
          {"playouts", thought.playouts},
          {"value", rate(thought.value)},
          {"white", rate(player == WHITE ? thought.value : 1 - thought.value)},
          {"candidates", candidates},
          {"line", line}};
}

Json action_json(ActionRecord const& a) {
  Json action = {{"number", a.number}, {"player", colour_json(a.player)},
                 {"step", a.step},     {"move", a.move},
                 {"kind", a.kind},     {"seconds", a.seconds}};
  if (a.thought) action["eval"] = thought_json(*a.thought, a.player);
  return action;
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

Json summary_json(SeriesStats const& stats) {
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
  return {{"games", stats.games},
          {"white_wins", stats.white_wins},
          {"black_wins", stats.black_wins},
          {"no_result", stats.no_result},
          {"average_actions", stats.average_actions},
          {"seats", seats}};
}

namespace {

// Hands on a piece of a file's text; false when it could not be written.
using Put = std::function<bool(char const* data, std::size_t size)>;
// Writes a file's whole text through `put`; false when a piece failed or could not be made.
using Content = std::function<bool(Put const& put)>;

// Client text in the record is escaped already; anything else that is not UTF-8 is replaced.
std::string json_text(Json const& value, int indent) {
  return value.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// `text` with `spaces` more blanks at the start of every line but the first.
std::string indented(std::string const& text, std::size_t spaces) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    out += c;
    if (c == '\n') out.append(spaces, ' ');
  }
  return out;
}

// A name beside `path` that is not likely to be taken: the file is created only if it is not.
// It fits wherever the record's own name fits: a name too long to take the mark on top gives
// up as much of its end.
std::string temporary_name(std::string const& path) {
  static std::atomic<unsigned> count{0};
  static unsigned const salt = std::random_device{}();
  unsigned const mixed =
      salt ^ (count++ * 0x9E3779B9u) ^
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::ostringstream mark;
  mark << '.' << std::hex << std::setw(8) << std::setfill('0') << mixed << ".tmp";
  constexpr std::size_t LONGEST_NAME = 255;  // of one name in a folder, on the usual systems
  std::size_t const slash = path.find_last_of("/\\");
  std::size_t const name_start = slash == std::string::npos ? 0 : slash + 1;
  std::size_t const name_size = path.size() - name_start;
  std::size_t const suffix = mark.str().size();
  std::size_t const kept = name_size + suffix <= LONGEST_NAME
                               ? name_size
                               : (name_size > suffix ? name_size - suffix : 0);
  return path.substr(0, name_start + kept) + mark.str();
}

#ifdef _WIN32

std::string system_text(DWORD code) {
  return std::error_code(static_cast<int>(code), std::system_category()).message();
}

std::wstring wide(std::string const& path) {
  return std::filesystem::path(path).wstring();
}

// All of `size` bytes at the file's position.
bool write_all(HANDLE file, char const* data, std::size_t size) {
  for (std::size_t done = 0; done < size;) {
    DWORD const chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1 << 30));
    DWORD written = 0;
    if (!WriteFile(file, data + done, chunk, &written, nullptr) || written == 0) return false;
    done += written;
  }
  return true;
}

bool seek(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
}

// A new file (CREATE_NEW never opens what is there, link or file); INVALID_HANDLE_VALUE with
// `code` set when it cannot be made, ERROR_FILE_EXISTS when the name is taken.
HANDLE create_new(std::string const& name, DWORD access, DWORD flags, DWORD& code) {
  HANDLE const file =
      CreateFileW(wide(name).c_str(), access, 0, nullptr, CREATE_NEW, flags, nullptr);
  code = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (code == ERROR_ALREADY_EXISTS) code = ERROR_FILE_EXISTS;
  return file;
}

// A new file beside `path` under a temporary name, given in `name`; INVALID_HANDLE_VALUE with
// `error` set when none can be made.
HANDLE create_temporary(std::string const& path, DWORD access, DWORD flags, std::string& name,
                        std::string& error) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    name = temporary_name(path);
    DWORD code = 0;
    HANDLE const file = create_new(name, access, flags, code);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (code == ERROR_FILE_EXISTS) continue;
    error = "cannot create " + name + ": " + system_text(code);
    return INVALID_HANDLE_VALUE;
  }
  error = "cannot create a temporary file beside " + path;
  return INVALID_HANDLE_VALUE;
}

// Creates a new file beside `path`, writes and flushes it, then moves it over `path` with the
// move itself written through to the disk.
bool replace_file(std::string const& path, Content const& content, std::string& error) {
  std::wstring const target = wide(path);
  std::string temporary;
  HANDLE const file =
      create_temporary(path, GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL, temporary, error);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD code = 0;
  bool ok = content([&](char const* data, std::size_t size) {
    if (!write_all(file, data, size)) code = GetLastError();
    return code == 0;
  });
  ok = ok && code == 0 && FlushFileBuffers(file);
  if (ok)
    code = 0;
  else if (code == 0)
    code = GetLastError();
  ok = CloseHandle(file) && ok;
  std::wstring const name = wide(temporary);
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

bool make_and_remove(std::string const& path, std::string& error) {
  DWORD code = 0;
  HANDLE const file = create_new(path, GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL, code);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot create " + path + ": " + system_text(code);
    return false;
  }
  CloseHandle(file);
  DeleteFileW(wide(path).c_str());
  return true;
}

// The spool of a record: a file that the system deletes when it is closed.
class SpoolFile {
 public:
  bool open(std::string const& path, std::string& error) {
    std::string name;
    file_ = create_temporary(path, GENERIC_READ | GENERIC_WRITE,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, name, error);
    return file_ != INVALID_HANDLE_VALUE;
  }
  ~SpoolFile() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  bool write_at(std::uint64_t offset, std::string const& text) {
    return seek(file_, offset) && write_all(file_, text.data(), text.size());
  }
  bool read_at(std::uint64_t offset, char* into, std::size_t size) {
    DWORD got = 0;
    return seek(file_, offset) && ReadFile(file_, into, static_cast<DWORD>(size), &got, nullptr) &&
           got == size;
  }
  std::string failure() const { return system_text(GetLastError()); }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

#else

std::string folder_of(std::string const& path) {
  std::string const folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

std::string system_text(int code) {
  return std::error_code(code, std::generic_category()).message();
}

// O_EXCL with O_CREAT never opens what is there, link or file.
int create_new(std::string const& name, int access, mode_t mode) {
  return ::open(name.c_str(), access | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

// A new file beside `path` under a temporary name, given in `name`; -1 with `error` set when
// none can be made.
int create_temporary(std::string const& path, int access, mode_t mode, std::string& name,
                     std::string& error) {
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    name = temporary_name(path);
    fd = create_new(name, access, mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) error = "cannot create " + name + ": " + system_text(errno);
  return fd;
}

// The mode of the record is that of any new file under the umask, as it always had.
bool replace_file(std::string const& path, Content const& content, std::string& error) {
  std::string temporary;
  int const fd = create_temporary(path, O_WRONLY, 0666, temporary, error);
  if (fd < 0) return false;
  int code = 0;
  bool const made = content([&](char const* data, std::size_t size) {
    for (std::size_t done = 0; code == 0 && done < size;) {
      ssize_t const n = ::write(fd, data + done, size - done);
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EINTR)
        code = errno;
    }
    return code == 0;
  });
  if (!made && code == 0) code = errno != 0 ? errno : EIO;
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

bool make_and_remove(std::string const& path, std::string& error) {
  int const fd = create_new(path, O_WRONLY, 0666);
  if (fd < 0) {
    error = "cannot create " + path + ": " + system_text(errno);
    return false;
  }
  ::close(fd);
  ::unlink(path.c_str());
  return true;
}

// The spool of a record: a file without a name (removed as soon as it is open), so that
// nothing is left behind whatever ends the manager.
class SpoolFile {
 public:
  bool open(std::string const& path, std::string& error) {
    std::string name;
    fd_ = create_temporary(path, O_RDWR, 0600, name, error);
    if (fd_ < 0) return false;
    ::unlink(name.c_str());
    return true;
  }
  ~SpoolFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool write_at(std::uint64_t offset, std::string const& text) {
    for (std::size_t done = 0; done < text.size();) {
      ssize_t const n =
          ::pwrite(fd_, text.data() + done, text.size() - done, static_cast<off_t>(offset + done));
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n < 0 && errno != EINTR)
        return false;
    }
    return true;
  }
  bool read_at(std::uint64_t offset, char* into, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
      ssize_t const n = ::pread(fd_, into + done, size - done, static_cast<off_t>(offset + done));
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else if (n == 0 || errno != EINTR)
        return false;
    }
    return true;
  }
  std::string failure() const { return system_text(errno); }

 private:
  int fd_ = -1;
};

#endif

}  // namespace

bool write_record(std::string const& path, Json const& record, std::string& error) {
  std::string const text = json_text(record, 2) + "\n";
  return replace_file(
      path, [&](Put const& put) { return put(text.data(), text.size()); }, error);
}

// The games' text, each as the record shows it, separated by commas; only `size` bytes of the
// file count (a failed write leaves nothing that a record could show).
struct RecordFile::Spool {
  SpoolFile file;
  std::uint64_t size = 0;
};

RecordFile::RecordFile(std::string path) : path_(std::move(path)) {}

RecordFile::~RecordFile() = default;

bool RecordFile::open(std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status const status = fs::status(fs::path(path_), ec);
  if (fs::exists(status)) {
    // Replacing a folder fails only after the games; a device would be replaced by a file.
    if (!fs::is_regular_file(status)) {
      error = "the record " + path_ + " is there and is not a regular file";
      return false;
    }
  } else if (!make_and_remove(path_, error)) {
    return false;
  }
  auto spool = std::make_unique<Spool>();
  if (!spool->file.open(path_, error)) return false;
  spool_ = std::move(spool);
  return true;
}

bool RecordFile::add(GameRecord const& game, std::string& error) {
  std::string const text =
      (games_ > 0 ? ",\n    " : "    ") + indented(json_text(game_json(game), 2), 4);
  if (!spool_ || !spool_->file.write_at(spool_->size, text)) {
    error = "cannot keep game " + std::to_string(game.game) + " for the record beside " + path_ +
            (spool_ ? ": " + spool_->file.failure() : "");
    return false;
  }
  spool_->size += text.size();
  ++games_;
  return true;
}

bool RecordFile::update(std::uint32_t seed, std::function<Json()> const& tail, bool now,
                        std::string& error) {
  Clock::time_point const start = Clock::now();
  if (!now && start < due_) return true;
  if (!spool_) {
    error = "the record " + path_ + " was never opened";
    return false;
  }
  Json const rest = tail();
  auto const content = [&](Put const& put) {
    auto const text = [&](std::string const& piece) { return put(piece.data(), piece.size()); };
    if (!text("{\n  \"seed\": " + std::to_string(seed) + ",\n  \"games\": [" +
              (games_ > 0 ? "\n" : "")))
      return false;
    std::vector<char> chunk(1 << 16);
    for (std::uint64_t at = 0; at < spool_->size; at += chunk.size()) {
      std::size_t const size =
          static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), spool_->size - at));
      if (!spool_->file.read_at(at, chunk.data(), size) || !put(chunk.data(), size)) return false;
    }
    if (!text(games_ > 0 ? "\n  ]" : "]")) return false;
    for (auto const& [key, value] : rest.items())
      if (!text(",\n  " + json_text(Json(key), -1) + ": " + indented(json_text(value, 2), 2)))
        return false;
    return text("\n}\n");
  };
  bool const written = replace_file(path_, content, error);
  Clock::time_point const end = Clock::now();
  due_ = end + 9 * (end - start);
  return written;
}

}  // namespace manager
