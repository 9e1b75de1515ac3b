// The operator's side of the program: the configuration dialogue, the remarks on a game's
// outcome and the loop over games.
#ifndef DRAVIX_APP_CONFIG_H
#define DRAVIX_APP_CONFIG_H

#include <functional>
#include <string>

// How much thinking time the operator granted; it chooses only the wording of the dialogue.
enum Difficulty { EASIEST = 0, EASY = 1, MEDIUM = 2, HARD = 3, HARDEST = 4 };

Difficulty difficulty_for(unsigned short const& time);

// Asks for the address, port and thinking time on standard input, offering the current values
// as defaults, then derives the difficulty and prints its taunt.
void get_config(std::string& address, unsigned short& port, unsigned short& time,
                Difficulty& difficulty);

// The comment on a game's result (1 won, -1 lost, 0 no contest), without its line end.
std::string end_of_game_remark(int const& result, Difficulty const& difficulty);

// The question that follows the remark, printed without a line end.
std::string rematch_question(int const& result);

using PlayGame =
    std::function<int(std::string const&, unsigned short const&, unsigned short const&)>;

// Plays games with `play` until the operator declines a rematch or standard input ends;
// returns the program's exit status.
int play_matches(PlayGame const& play);

// Plays `games` games with `play` on the given answers, printing everything the dialogue and
// the games print except the questions, and reading nothing; returns the exit status: 1 when
// any game was a no contest, else 0.
int play_scripted(PlayGame const& play, std::string const& address, unsigned short port,
                  unsigned short time, int games);

#endif
