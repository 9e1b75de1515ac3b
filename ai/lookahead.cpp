#include "game/vorak.h"
