// The show's random generator. Its sequence must match the platform C runtime's rand
// exactly, because the swarm's positions are taken from it.
#include "scenes.h"

namespace {
uint32_t randomState = 1; // never seeded
}

int nextRandom()
{
    randomState = randomState * 214013u + 2531011u;
    return static_cast<int>((randomState >> 16) & 0x7FFF);
}

void resetRandom()
{
    randomState = 1;
}
