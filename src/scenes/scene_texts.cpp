// Every text the show puts on screen. The page texts are shaped for the page writer:
// 35 columns a row, so a long line wraps by itself and a newline right after a full
// row leaves one empty row. Only a-z, 0-9 and ! . / : - , have glyphs; a space
// merely moves the pen.
#include "scenes.h"

const char titleDashRule[] = "--------------";
const char titleLine[] = "--: tovira :--";

const char introText[] =
    // Two empty rows, then the announcement in rows of 35, 35 and 20.
    "\n\n"
    "tovira is proud to present its new "
    "demo at pixelthaw 2004 in tampere! "
    "lean back and enjoy:"
    "\n\n"
    // The framed title: a full row of dashes, the title line in columns 12 to 25, dashes.
    "-----------------------------------"
    "           --: tovira :--          "
    "-----------------------------------"
    "\n"
    " code: morvin\n"
    "music: ilo"
    "\n\n"
    "thanks to aki/hiisi for letting us\n"
    "show his wonderful photographs!!!!";

const char swarmCaption1[] = "\n\n\n\n\n\n the swarm gathers slowly";
const char swarmCaption2[] = "\n\n\n\n\n\n  one more swarm for you!";

// Sorted by group name, one greeting a row.
const char greetingsList[] =
    "alkemia keep on grooving\n"
    "borealis stay cool guys\n"
    "cobaltcrew hello there\n"
    "deltoid great work\n"
    "ektoplasm see you soon\n"
    "f.u.n big hugs to all\n"
    "glyphworks thanks a lot\n"
    "hirvi keep it up lads\n"
    "jokeri cheers mates\n"
    "kaamos party hard\n"
    "lumipallo respect\n"
    "myrsky stay tuned\n"
    "noctua love your stuff\n"
    "pakkanen great tunes\n"
    "revontuli keep coding\n"
    "saunatonttu see you\n";

const char closingPage[] =
    "so this is the end.\n"
    "we hope you enjoyed the music: the "
    "tune took 15 nights to make\n"
    "big thanks go out to two fine folks\n"
    "esko for the tools\n"
    "and tapio who tested all builds on "
    "his old box until 01:50 at night.\n"
    "a warm hello to sanna back home!\n"
    "thanks to all of you for watching\n"
    "we had great fun making this one.\n"
    "\n"
    "see you at the next party!\n"
    "\n"
    "take care and farewell from all of "
    "tovira...";

static_assert(sizeof(titleDashRule) == TITLE_LINE_LENGTH + 1);
static_assert(sizeof(titleLine) == TITLE_LINE_LENGTH + 1);
static_assert(sizeof(introText) == INTRO_TEXT_LENGTH + 1);
static_assert(sizeof(swarmCaption1) == SWARM_CAPTION_LENGTH + 1);
static_assert(sizeof(swarmCaption2) == SWARM_CAPTION_LENGTH + 1);
static_assert(sizeof(greetingsList) == GREETINGS_LENGTH + 1);
static_assert(sizeof(closingPage) == CLOSING_PAGE_LENGTH + 1);
