#include "manager/bounded_json.h"

#include <utility>
#include <vector>

namespace manager {

namespace {

// Builds the value as nlohmann's own parser does, but stops at the first step beyond the
// bounds, before it costs anything.
class BoundedSax {
 public:
  BoundedSax(Json& root, JsonBounds const& bounds) : dom_(root, false), bounds_(bounds) {}

  bool null() { return value() && dom_.null(); }
  bool boolean(bool v) { return value() && dom_.boolean(v); }
  bool number_integer(Json::number_integer_t v) { return value() && dom_.number_integer(v); }
  bool number_unsigned(Json::number_unsigned_t v) { return value() && dom_.number_unsigned(v); }
  bool number_float(Json::number_float_t v, Json::string_t const& text) {
    return value() && dom_.number_float(v, text);
  }
  bool string(Json::string_t& v) { return value() && dom_.string(v); }
  bool binary(Json::binary_t& v) { return value() && dom_.binary(v); }
  bool start_object(std::size_t n) { return open() && dom_.start_object(n); }
  bool key(Json::string_t& k) {
    if (++keys_.back() > bounds_.keys)
      return refuse("an object has more than " + std::to_string(bounds_.keys) + " keys");
    return dom_.key(k);
  }
  bool end_object() {
    keys_.pop_back();
    return dom_.end_object();
  }
  bool start_array(std::size_t n) { return open() && dom_.start_array(n); }
  bool end_array() {
    keys_.pop_back();
    return dom_.end_array();
  }
  bool parse_error(std::size_t, std::string const&, nlohmann::detail::exception const&) {
    return refuse("it is not JSON");
  }

  std::string const& error() const { return error_; }

 private:
  bool value() {
    if (++values_ <= bounds_.values) return true;
    return refuse("it holds more than " + std::to_string(bounds_.values) + " values");
  }
  bool open() {
    if (!value()) return false;
    if (keys_.size() >= static_cast<std::size_t>(bounds_.depth))
      return refuse("it nests deeper than " + std::to_string(bounds_.depth) + " levels");
    keys_.push_back(0);
    return true;
  }
  bool refuse(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }

  nlohmann::detail::json_sax_dom_parser<Json> dom_;
  JsonBounds bounds_;
  std::vector<std::size_t> keys_;  // keys so far of each open object (0 for an array)
  std::size_t values_ = 0;
  std::string error_;
};

}  // namespace

std::optional<Json> parse_bounded_json(std::string_view text, JsonBounds const& bounds,
                                       std::string& error) {
  Json value;
  BoundedSax sax(value, bounds);
  if (Json::sax_parse(text.begin(), text.end(), &sax)) return value;
  error = sax.error().empty() ? "it is not JSON" : sax.error();
  return std::nullopt;
}

}  // namespace manager
