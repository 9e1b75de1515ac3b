// The configuration dialogue, the end-of-game remarks and the rematch loop.
#include "app/config.h"

#include <iostream>
#include <string>

#include <boost/lexical_cast.hpp>

namespace {

// One whole line of standard input. At the end of input the answer is empty, which keeps the
// defaults, so the dialogue never waits on a stream that has nothing more to give.
bool read_answer(std::string& answer) {
  answer.clear();
  return static_cast<bool>(std::getline(std::cin, answer));
}

// A decimal number in the range of unsigned short. The conversion alone would wrap "-1" to
// 65535, so a sign is refused unless the number is zero ("-0" is 0).
bool to_number(std::string const& text, unsigned short& value) {
  if (text.empty() || !boost::conversion::try_lexical_convert(text, value)) return false;
  return text[0] != '-' || value == 0;
}

}  // namespace

Difficulty difficulty_for(unsigned short const& time) {
  if (time > 39) return HARDEST;
  if (time > 19) return HARD;
  if (time > 9) return MEDIUM;
  if (time <= 4) return EASIEST;
  return EASY;
}

namespace {

void print_banner() {
  std::cout << "I am Dravix Bot, the Vorak Grand Master Supreme.\n"
            << "I was created by Ostrum to crush all opposition.\n";
}

void print_taunt(Difficulty difficulty) {
  switch (difficulty) {
    case EASIEST:
      std::cout << "You will need every advantage you can get.\n";
      break;
    case EASY:
      std::cout << "I will make short work of this.\n";
      break;
    case MEDIUM:
      std::cout << "Your generosity will be your downfall.\n";
      break;
    case HARD:
      std::cout << "You cannot possibly hope to win now.\n";
      break;
    case HARDEST:
      std::cout << "I am power incarnate and all who oppose me shall fail.\n";
      break;
  }
}

}  // namespace

void get_config(std::string& address, unsigned short& port, unsigned short& time,
                Difficulty& difficulty) {
  print_banner();

  std::string answer;
  std::cout << "What is the IP address of the Corvane Game Manager? [" << address << "] ";
  read_answer(answer);
  if (!answer.empty()) address = answer;

  unsigned short value = 0;
  std::cout << "And what is its port number? [" << port << "] ";
  read_answer(answer);
  while (!answer.empty() && !to_number(answer, value)) {
    std::cout << "Enter a port number from 0 to 65535: [" << port << "] ";
    read_answer(answer);
  }
  if (!answer.empty()) port = value;

  std::cout << "And how much time do I get to decide what moves to make?\n"
            << "(Note, excepting the first round where white only gets one move,\n"
            << " each player get two moves per round.) "
            << "[" << time << "] ";
  read_answer(answer);
  while (!answer.empty() && (!to_number(answer, value) || value == 0)) {
    std::cout << "Enter an integer greater than 0: [" << time << "] ";
    read_answer(answer);
  }
  if (!answer.empty()) time = value;

  difficulty = difficulty_for(time);
  print_taunt(difficulty);
}

std::string end_of_game_remark(int const& result, Difficulty const& difficulty) {
  if (result == 1) {
    switch (difficulty) {
      case EASIEST:
        return "Considering that you are an obvious novice you did quite well.";
      case EASY:
        return "As expected I won, again.";
      case MEDIUM:
        return "I'd fallen asleep after your third move.";
      case HARD:
        return "I thought that you would prove to be a worthy opponent.\n"
               "It was the only mistake I made the entire game.";
      case HARDEST:
        return "I thought that you were a fool.\n"
               "Then you made your first move and removed any doubt.";
    }
  } else if (result == -1) {
    switch (difficulty) {
      case EASIEST:
        return "Celebrate for this is the best you will ever achieve.";
      case EASY:
        return "Impressive.  Someone has trained you well.";
      case MEDIUM:
        return "You are easily a Vorak Grand Master.";
      case HARD:
        return "Impossible!";
      case HARDEST:
        return "You have accomplished a legendary feat\n"
               "and your name will live on throughout time immemorial.";
    }
  }
  return "This game is ruled a no contest.";
}

std::string rematch_question(int const& result) {
  return result == -1 ? "\nAre you brave enough to accept a rematch? [Y] "
                      : "\nDo you dare to challenge me again? [Y] ";
}

int play_matches(PlayGame const& play) {
  std::string address = "127.0.0.1";
  unsigned short port = 2525;
  unsigned short time = 40;
  Difficulty difficulty = EASIEST;
  std::string answer;
  for (;;) {
    // Only the first character counts: "no" and "Never" decline, " n" does not.
    if (!answer.empty() && (answer[0] == 'n' || answer[0] == 'N')) return 0;
    get_config(address, port, time, difficulty);
    int const result = play(address, port, time);
    std::cout << end_of_game_remark(result, difficulty) << "\n"
              << rematch_question(result) << std::flush;
    if (!read_answer(answer)) {
      // Nobody is left to answer: stop rather than start games forever. The line end keeps
      // whatever follows off the question's line.
      std::cout << std::endl;
      return 0;
    }
  }
}

int play_scripted(PlayGame const& play, std::string const& address, unsigned short port,
                  unsigned short time, int games) {
  Difficulty const difficulty = difficulty_for(time);
  int status = 0;
  for (int game = 0; game < games; ++game) {
    print_banner();
    print_taunt(difficulty);
    int const result = play(address, port, time);
    std::cout << end_of_game_remark(result, difficulty) << "\n" << std::flush;
    // A runner must be able to tell that a game was not played to its end.
    if (result == 0) status = 1;
  }
  return status;
}
