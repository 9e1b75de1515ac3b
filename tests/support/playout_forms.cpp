#include "tests/support/playout_forms.h"

#include "ai/playout.h"
#include "ai/reference_playout.h"

namespace support {

std::string playout_forms_difference(Vorak const& v) {
  ReferencePlayout const ref(v);
  FastPlayout const fast(v);
  for (Players mover : {WHITE, BLACK}) {
    std::string const colour = mover == WHITE ? "White" : "Black";
    for (bool concerned : {false, true})
      if (candidate_texts(fast, mover, concerned) != candidate_texts(ref, mover, concerned))
        return colour + "'s candidates differ" + (concerned ? " when concerned" : "");
    if (v.move_count % 2 != 0 || !ref.opponent_low(mover)) continue;
    Decision expected, actual;
    bool const decided = ref.lookahead(mover, expected);
    if (fast.lookahead(mover, actual) != decided)
      return colour + "'s look-ahead decides in one form only";
    if (decided && (actual.winner != expected.winner || actual.first != expected.first ||
                    actual.second != expected.second))
      return colour + "'s look-ahead decides differently";
  }
  return "";
}

}  // namespace support
