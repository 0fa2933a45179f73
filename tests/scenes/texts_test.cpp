// The shapes of the show's texts, character class by character class and line by
// line, and the page rows they fill when laid out by the page writer.
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

bool isLower(char c) { return c >= 'a' && c <= 'z'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// True when every character of s is a lower-case letter, a space or one of extra.
bool onlyLettersSpacesAnd(const std::string& s, const std::string& extra)
{
    return std::all_of(s.begin(), s.end(),
                       [&](char c) { return isLower(c) || c == ' ' || extra.find(c) != std::string::npos; });
}

std::vector<std::string> splitLines(const std::string& text)
{
    std::vector<std::string> lines(1);
    for (char c : text) {
        if (c == '\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    return lines;
}

struct PageLayout {
    std::map<int, std::vector<int>> rows; // y -> x of every glyph drawn in that row
    int minX = 1 << 30, maxX = -(1 << 30);
};

PageLayout layOut(const char* text, int count)
{
    PageLayout page;
    layoutTextPage(text, 0, count, [&](int, int x, int y) {
        page.rows[y].push_back(x);
        page.minX = std::min(page.minX, x);
        page.maxX = std::max(page.maxX, x);
    });
    return page;
}

std::vector<int> rowYs(const PageLayout& page)
{
    std::vector<int> ys;
    for (const auto& [y, xs] : page.rows)
        ys.push_back(y);
    return ys;
}

std::vector<int> rowsFrom5(int rows, std::set<int> emptyRows = {})
{
    std::vector<int> ys;
    for (int row = 0; row < rows; ++row)
        if (!emptyRows.count(row))
            ys.push_back(5 + 18 * row);
    return ys;
}

} // namespace

TEST(TitleTexts, DashRuleAndTitleLineAreFourteenCharacters)
{
    EXPECT_STREQ(titleDashRule, "--------------");
    EXPECT_STREQ(titleLine, "--: tovira :--");
    EXPECT_EQ(std::strlen(titleDashRule), 14u);
    EXPECT_EQ(std::strlen(titleLine), 14u);
}

TEST(IntroText, PiecesHaveTheirLengthsNewlinesAndCharacters)
{
    const std::string text = introText;
    ASSERT_EQ(text.size(), 295u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 9);

    size_t at = 0;
    auto piece = [&](size_t length) {
        std::string s = text.substr(at, length);
        at += length;
        return s;
    };
    EXPECT_EQ(piece(2), "\n\n");

    const std::string announcement = piece(90);
    EXPECT_TRUE(onlyLettersSpacesAnd(announcement, "0123456789!:")) << announcement;
    EXPECT_EQ(std::count(announcement.begin(), announcement.end(), '!'), 1);
    EXPECT_EQ(std::count(announcement.begin(), announcement.end(), ':'), 1);
    EXPECT_EQ(announcement.back(), ':');
    EXPECT_TRUE(std::any_of(announcement.begin(), announcement.end(), isDigit)) << "the year";
    EXPECT_TRUE(announcement.find("tovira") != std::string::npos);

    EXPECT_EQ(piece(2), "\n\n");
    EXPECT_EQ(piece(105), std::string(35, '-') + std::string(11, ' ') + "--: tovira :--" + std::string(10, ' ') +
                              std::string(35, '-'));
    EXPECT_EQ(piece(1), "\n");

    const std::string code = piece(13);
    EXPECT_EQ(code[0], ' ');
    EXPECT_TRUE(std::all_of(code.begin() + 1, code.begin() + 5, isLower)) << code;
    EXPECT_EQ(code.substr(5, 2), ": ");
    EXPECT_TRUE(std::all_of(code.begin() + 7, code.end(), isLower)) << code;
    EXPECT_EQ(piece(1), "\n");

    const std::string music = piece(10);
    EXPECT_TRUE(std::all_of(music.begin(), music.begin() + 5, isLower)) << music;
    EXPECT_EQ(music.substr(5, 2), ": ");
    EXPECT_TRUE(std::all_of(music.begin() + 7, music.end(), isLower)) << music;
    EXPECT_EQ(piece(2), "\n\n");

    const std::string thanks1 = piece(34);
    EXPECT_TRUE(onlyLettersSpacesAnd(thanks1, "/")) << thanks1;
    EXPECT_EQ(std::count(thanks1.begin(), thanks1.end(), '/'), 1);
    EXPECT_EQ(piece(1), "\n");

    const std::string thanks2 = piece(34);
    EXPECT_EQ(thanks2.substr(30), "!!!!");
    EXPECT_TRUE(onlyLettersSpacesAnd(thanks2.substr(0, 30), "")) << thanks2;
    EXPECT_EQ(at, text.size());
}

TEST(IntroText, LaysOutOnItsTenRowsWithTheTitleInColumnsTwelveToTwentyFive)
{
    const PageLayout page = layOut(introText, 295);
    EXPECT_EQ(rowYs(page), (std::vector<int>{41, 59, 77, 113, 131, 149, 185, 203, 239, 257}));
    // The rows of dashes and the announcement's first two rows are full.
    EXPECT_EQ(page.rows.at(113).size(), 35u);
    EXPECT_EQ(page.rows.at(149).size(), 35u);
    const std::vector<int>& title = page.rows.at(131);
    ASSERT_FALSE(title.empty());
    EXPECT_EQ(title.front(), 7 + 18 * 11);
    EXPECT_EQ(title.back(), 7 + 18 * 24);
    // The credits: the colons stand in the same column.
    EXPECT_EQ(page.rows.at(185).front(), 25);
    EXPECT_EQ(page.rows.at(203).front(), 7);
}

TEST(SwarmCaptions, SixNewlinesThenOneRowOfTwentyFive)
{
    for (const char* caption : {swarmCaption1, swarmCaption2}) {
        const std::string text = caption;
        ASSERT_EQ(text.size(), 31u);
        EXPECT_EQ(text.substr(0, 6), "\n\n\n\n\n\n");
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 6);
    }
    const std::string line1 = std::string(swarmCaption1).substr(6);
    EXPECT_EQ(line1[0], ' ');
    EXPECT_NE(line1[1], ' ');
    EXPECT_TRUE(onlyLettersSpacesAnd(line1, "")) << line1;

    const std::string line2 = std::string(swarmCaption2).substr(6);
    EXPECT_EQ(line2.substr(0, 2), "  ");
    EXPECT_NE(line2[2], ' ');
    EXPECT_EQ(line2.back(), '!');
    EXPECT_EQ(std::count(line2.begin(), line2.end(), '!'), 1);
    EXPECT_TRUE(onlyLettersSpacesAnd(line2, "!")) << line2;
}

TEST(SwarmCaptions, StandOnRowAt113EndingAtColumn439)
{
    const PageLayout page1 = layOut(swarmCaption1, 31);
    EXPECT_EQ(rowYs(page1), std::vector<int>{113});
    EXPECT_EQ(page1.minX, 25);
    EXPECT_EQ(page1.maxX, 439);
    const PageLayout page2 = layOut(swarmCaption2, 31);
    EXPECT_EQ(rowYs(page2), std::vector<int>{113});
    EXPECT_EQ(page2.minX, 43);
    EXPECT_EQ(page2.maxX, 439);
}

TEST(GreetingsList, SixteenSortedLinesOfNameAndPhrase)
{
    const std::string text = greetingsList;
    ASSERT_EQ(text.size(), 342u);
    ASSERT_EQ(text.back(), '\n');
    std::vector<std::string> lines = splitLines(text);
    ASSERT_EQ(lines.back(), ""); // after the last newline
    lines.pop_back();
    ASSERT_EQ(lines.size(), 16u);

    std::vector<std::string> names;
    size_t longest = 0;
    int namesWithStops = 0;
    for (const std::string& line : lines) {
        ASSERT_FALSE(line.empty());
        longest = std::max(longest, line.size());
        const size_t space = line.find(' ');
        ASSERT_NE(space, std::string::npos) << line;
        ASSERT_GT(space, 0u) << line;
        ASSERT_LT(space + 1, line.size()) << line;
        const std::string name = line.substr(0, space);
        const std::string phrase = line.substr(space + 1);
        EXPECT_TRUE(onlyLettersSpacesAnd(name, ".")) << line;
        EXPECT_TRUE(onlyLettersSpacesAnd(phrase, "")) << line;
        EXPECT_NE(phrase[0], ' ') << line;
        const auto stops = std::count(name.begin(), name.end(), '.');
        if (stops > 0) {
            EXPECT_EQ(stops, 2) << line;
            ++namesWithStops;
        }
        names.push_back(name);
    }
    EXPECT_EQ(namesWithStops, 1);
    EXPECT_EQ(std::count(text.begin(), text.end(), '.'), 2);
    EXPECT_EQ(longest, 24u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end()) << "names differ";
}

TEST(GreetingsList, FillsSixteenRowsFromX7ToX421)
{
    const PageLayout page = layOut(greetingsList, 342);
    EXPECT_EQ(rowYs(page), rowsFrom5(16));
    EXPECT_EQ(page.minX, 7);
    EXPECT_EQ(page.maxX, 421);
}

TEST(ClosingPage, TwelveLinesOfTheGivenLengthsAndCharacters)
{
    const std::string text = closingPage;
    ASSERT_EQ(text.size(), 381u);
    EXPECT_NE(text.front(), '\n');
    EXPECT_NE(text.back(), '\n');
    std::vector<size_t> lengths;
    for (const std::string& line : splitLines(text))
        lengths.push_back(line.size());
    EXPECT_EQ(lengths, (std::vector<size_t>{19, 62, 35, 18, 68, 32, 33, 33, 0, 26, 0, 44}));

    std::set<char> used(text.begin(), text.end());
    used.erase('\n');
    for (char c : used)
        EXPECT_TRUE(isLower(c) || c == ' ' || std::string("015!.:").find(c) != std::string::npos) << "'" << c << "'";
    for (char c : std::string("015!.:"))
        EXPECT_TRUE(used.count(c)) << "'" << c << "' unused";
}

TEST(ClosingPage, FillsSixteenRowsWithThreeEmptyOnes)
{
    const PageLayout page = layOut(closingPage, 381);
    // The line of exactly 35 leaves row 4 empty; the two empty lines rows 11 and 13.
    EXPECT_EQ(rowYs(page), rowsFrom5(16, {4, 11, 13}));
    EXPECT_EQ(page.minX, 7);
}

TEST(AllTexts, EveryCharacterOtherThanSpaceAndNewlineHasAGlyph)
{
    for (const char* text : {titleDashRule, titleLine, introText, swarmCaption1, swarmCaption2, greetingsList, closingPage})
        for (const char* c = text; *c != '\0'; ++c) {
            if (*c == ' ' || *c == '\n')
                continue;
            EXPECT_GE(glyphIndex(static_cast<unsigned char>(*c)), 0) << "'" << *c << "' in " << text;
        }
}
