// The four scenes of the show, each a self-contained frame loop over the shared
// assets, and the texts they put on screen.
//
//   Scenes       title_scene.cpp, intro_scene.cpp, swarm_scene.cpp, closing_scene.cpp
//   Texts        scene_texts.cpp
//   Random       random.cpp
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

// ---------------------------------------------------------------------------------
// Texts (scene_texts.cpp); lengths exclude the terminator
// ---------------------------------------------------------------------------------

// Scene 1 types both lines together at (194, 190) and (194, 272).
constexpr int TITLE_LINE_LENGTH = 14;
extern const char titleDashRule[]; // fourteen dashes
extern const char titleLine[];     // "--: tovira :--"

// Scene 2's page: announcement, framed title, credits and thanks.
constexpr unsigned INTRO_TEXT_LENGTH = 295;
extern const char introText[];

// Scene 3's captions, one per run: six newlines, then one row of 25 characters.
constexpr unsigned SWARM_CAPTION_LENGTH = 31;
extern const char swarmCaption1[];
extern const char swarmCaption2[];

// Scene 4's two pages: the greetings (16 rows) and, from 28 s, the farewell.
constexpr unsigned GREETINGS_LENGTH = 342;
extern const char greetingsList[];
constexpr unsigned CLOSING_PAGE_LENGTH = 381;
extern const char closingPage[];
