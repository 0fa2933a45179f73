#include "show.h"

ShowState showState;

void resetShowState()
{
    showState = ShowState{};
}
