// The show's texts as the scenes type them: their lengths and every character drawable.
// How the page writer lays them out the golden frames show.
#include "scenes.h"
#include "draw.h"

#include <gtest/gtest.h>

#include <cstring>

// The scenes type a text up to its length, so a text of another length would be cut or
// would leave the typing waiting; every character but space and newline needs its glyph.
TEST(ShowTexts, HaveTheLengthsTheScenesTypeAndAGlyphForEveryCharacter)
{
    const std::pair<const char*, size_t> texts[] = {
        {titleDashRule, TITLE_LINE_LENGTH}, {titleLine, TITLE_LINE_LENGTH},
        {introText, INTRO_TEXT_LENGTH},     {swarmCaption1, SWARM_CAPTION_LENGTH},
        {swarmCaption2, SWARM_CAPTION_LENGTH}, {greetingsList, GREETINGS_LENGTH},
        {closingPage, CLOSING_PAGE_LENGTH},
    };
    for (const auto& [text, length] : texts) {
        EXPECT_EQ(std::strlen(text), length) << text;
        for (const char* c = text; *c != '\0'; ++c)
            EXPECT_TRUE(*c == ' ' || *c == '\n' || glyphIndex(static_cast<unsigned char>(*c)) >= 0) << "'" << *c << "' in " << text;
    }
    EXPECT_STREQ(titleDashRule, "--------------");
    EXPECT_STREQ(titleLine, "--: tovira :--");
}
