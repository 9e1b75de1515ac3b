// The search's two playout forms held to each other on one position.
#ifndef DRAVIX_TESTS_SUPPORT_PLAYOUT_FORMS_H
#define DRAVIX_TESTS_SUPPORT_PLAYOUT_FORMS_H

#include <string>
#include <vector>

#include "game/vorak.h"

namespace support {

// A playout form's candidate list, in the state's move notation.
template <class P>
std::vector<std::string> candidate_texts(P const& p, Players mover, bool concerned) {
  typename P::List list;
  p.candidates(mover, concerned, list);
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < list.size(); ++i) texts.push_back(P::text(list[i]));
  return texts;
}

// Where the compact form and the reference form first disagree on `v`, for either colour: the
// candidate lists, concerned or not, and the elimination look-ahead where it applies. "" when
// they agree.
std::string playout_forms_difference(Vorak const& v);

}  // namespace support

#endif
