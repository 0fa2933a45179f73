// The four scenes of the show, each a self-contained frame loop over the shared assets.
#pragma once

#include "show.h"

// Scene 1, 8 s: the tumbling model, the logo and the typed title line.
void runTitleScene();
// Scene 2, 24 s: the model's fly-in under the typed intro page.
void runIntroScene();
// Scene 3, 14.5 s, played twice: the model swarm with its caption and picture.
void runSwarmScene();
// Scene 4, 61 s: the greetings list and the closing page.
void runClosingScene();

// The show's random generator: the C runtime's rand recurrence, never seeded.
int nextRandom();
// Back to the generator's program-start state (tests run many shows in one process).
void resetRandom();
