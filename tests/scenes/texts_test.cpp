// The show's texts as the scenes type them: their lengths, every character drawable, and
// the page rows they fill when laid out by the page writer.
#include "scenes.h"
#include "draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// y -> x of every glyph drawn in that row
std::map<int, std::vector<int>> layOut(const char* text)
{
    std::map<int, std::vector<int>> rows;
    layoutTextPage(text, 0, static_cast<int>(std::strlen(text)), [&](int, int x, int y) { rows[y].push_back(x); });
    return rows;
}

// The y of each of the page's first `rows` rows but the empty ones.
std::vector<int> rowsFrom5(int rows, std::set<int> emptyRows = {})
{
    std::vector<int> ys;
    for (int row = 0; row < rows; ++row)
        if (!emptyRows.count(row))
            ys.push_back(5 + 18 * row);
    return ys;
}

} // namespace

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
        for (const char* c = text; *c != '\0'; ++c) {
            if (*c != ' ' && *c != '\n') {
                EXPECT_GE(glyphIndex(static_cast<unsigned char>(*c)), 0) << "'" << *c << "' in " << text;
            }
        }
    }
    EXPECT_STREQ(titleDashRule, "--------------");
    EXPECT_STREQ(titleLine, "--: tovira :--");
}

TEST(ShowTexts, FillTheirPageRows)
{
    struct Case {
        const char* name;
        const char* text;
        std::vector<int> rows;
        int minX, maxX;
    };
    const Case cases[] = {
        {"intro", introText, {41, 59, 77, 113, 131, 149, 185, 203, 239, 257}, 7, 7 + 18 * 34},
        {"first caption", swarmCaption1, {113}, 25, 439},
        {"second caption", swarmCaption2, {113}, 43, 439},
        {"greetings", greetingsList, rowsFrom5(16), 7, 421},
        // The line of exactly 35 leaves row 4 empty; the two empty lines rows 11 and 13.
        {"closing page", closingPage, rowsFrom5(16, {4, 11, 13}), 7, 7 + 18 * 34},
    };
    for (const Case& c : cases) {
        std::vector<int> ys, xs;
        for (const auto& [y, row] : layOut(c.text)) {
            ys.push_back(y);
            xs.insert(xs.end(), row.begin(), row.end());
        }
        EXPECT_EQ(ys, c.rows) << c.name;
        EXPECT_EQ(*std::min_element(xs.begin(), xs.end()), c.minX) << c.name;
        EXPECT_EQ(*std::max_element(xs.begin(), xs.end()), c.maxX) << c.name;
    }

    // The intro's rows of dashes are full, the title stands in columns 12 to 25 between them,
    // and the colons of the two credits stand in the same column.
    const auto intro = layOut(introText);
    EXPECT_EQ(intro.at(113).size(), 35u);
    EXPECT_EQ(intro.at(149).size(), 35u);
    EXPECT_EQ(intro.at(131).front(), 7 + 18 * 11);
    EXPECT_EQ(intro.at(131).back(), 7 + 18 * 24);
    EXPECT_EQ(intro.at(185).front(), 25);
    EXPECT_EQ(intro.at(203).front(), 7);
}

TEST(ShowTexts, GreetingsAreSixteenLinesOfDistinctNamesInOrder)
{
    std::vector<std::string> names;
    std::string line;
    for (const char* c = greetingsList; *c != '\0'; ++c) {
        if (*c != '\n') {
            line += *c;
            continue;
        }
        const size_t space = line.find(' ');
        ASSERT_TRUE(space != std::string::npos && space > 0 && space + 1 < line.size()) << "name and phrase: " << line;
        names.push_back(line.substr(0, space));
        line.clear();
    }
    EXPECT_EQ(line, "") << "the list ends with a newline";
    EXPECT_EQ(names.size(), 16u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "names differ";
}
