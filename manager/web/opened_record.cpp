#include "manager/web/opened_record.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "manager/record.h"

namespace manager {

namespace {

// Checks the text as a record without building it: a record of 64 MiB would take ten times that
// as a value.
class RecordShape : public nlohmann::json_sax<Json> {
 public:
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, string_t const&) override { return true; }
  bool string(string_t&) override {
    games_or_start_ = games_or_start_ || (depth_ == 1 && key_ == "start");
    return true;
  }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return open(); }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override {
    games_or_start_ = games_or_start_ || (depth_ == 1 && key_ == "games");
    return open();
  }
  bool end_array() override { return close(); }
  bool key(string_t& k) override {
    if (depth_ == 1) key_ = k;
    return true;
  }
  bool parse_error(std::size_t, std::string const&, nlohmann::detail::exception const&) override {
    return false;
  }

  bool record() const { return games_or_start_; }
  bool too_deep() const { return depth_ > MAX_DEPTH; }

 private:
  // A record nests six deep; the page walks what it is given.
  static constexpr int MAX_DEPTH = 16;
  bool open() { return ++depth_ <= MAX_DEPTH; }
  bool close() {
    --depth_;
    return true;
  }

  int depth_ = 0;
  std::string key_;
  bool games_or_start_ = false;
};

}  // namespace

std::optional<OpenedRecord> open_record(std::string const& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::file_status const status = fs::status(path, ec);
  if (ec || !fs::exists(status)) {
    error = "--open: there is no file " + path;
    return std::nullopt;
  }
  std::uintmax_t const size = fs::is_regular_file(status) ? fs::file_size(path, ec) : 0;
  if (!fs::is_regular_file(status) || ec) {
    error = "--open: " + path + " is not a regular file";
    return std::nullopt;
  }
  if (size > MAX_OPENED_RECORD) {
    error = "--open: " + path + " is larger than a record the page takes (" +
            std::to_string(MAX_OPENED_RECORD >> 20) + " MiB)";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text;
  text.reserve(static_cast<std::size_t>(size));
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) {
    error = "--open: " + path + " cannot be read";
    return std::nullopt;
  }
  if (text.size() > MAX_OPENED_RECORD) {  // it grew while it was read
    error = "--open: " + path + " is larger than a record the page takes";
    return std::nullopt;
  }
  // The text is sent inside an answer of its own; a byte order mark there would not be JSON.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  RecordShape shape;
  bool const parsed = Json::sax_parse(text, &shape);
  if (!parsed || !shape.record()) {
    error =
        "--open: " + path +
        (shape.too_deep() ? " nests deeper than a record"
                          : " is not a record of vorak-manager (a JSON object with its \"games\")");
    return std::nullopt;
  }
  return OpenedRecord{fs::path(path).filename().string(),
                      std::make_shared<std::string const>(std::move(text))};
}

std::string opened_record_json(OpenedRecord const& record) {
  return "{\"name\":" + Json(record.name).dump(-1, ' ', false, Json::error_handler_t::replace) +
         ",\"record\":" + *record.text + "}";
}

}  // namespace manager
