// The console program: for now, only the introduction.
#include <iostream>

int main() {
  std::cout << "I am Dravix Bot, the Vorak Grand Master Supreme.\n"
            << "I was created by Ostrum to crush all opposition.\n";
  return 0;
}
