// The bitmap-font writers: the page layout (pen steps, wrapping, newlines, skipped
// characters), and the pixels each writer draws compared with the glyph files
// composited by ImageMagick at the positions the layout rules give.
#include "draw_device.h"
#include "draw.h"
#include "assets.h"
#include "golden_image.h"
#include "show_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

struct Placed {
    char character;
    int x, y;
    bool operator==(const Placed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Placed& p)
{
    return out << "'" << p.character << "'@(" << p.x << "," << p.y << ")";
}

std::vector<Placed> layOut(const std::string& text, int first, int count)
{
    std::vector<Placed> placed;
    layoutTextPage(text.data(), first, count, [&](int index, int x, int y) { placed.push_back({text[index], x, y}); });
    return placed;
}

std::string letters(int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += static_cast<char>('a' + i % 26);
    return s;
}

// Every character with a glyph, in the font's order.
const std::string fontOrder = "abcdefghijklmnopqrstuvwxyz0123456789!./:-,";

// The characters of `text` that have a glyph, one pen step apart from (x, y).
std::vector<Placed> row(const std::string& text, int x, int y)
{
    std::vector<Placed> placed;
    for (size_t i = 0; i < text.size(); ++i)
        if (fontOrder.find(text[i]) != std::string::npos)
            placed.push_back({text[i], x + GLYPH_ADVANCE * static_cast<int>(i), y});
    return placed;
}

} // namespace

TEST(PageLayout, PenStepsWrapsAtThirtyFiveColumnsAndNewlinesStartTheNextRow)
{
    auto then = [](std::vector<Placed> placed, Placed next) {
        placed.push_back(next);
        return placed;
    };
    const std::vector<Placed> fullRow = row(letters(35), 7, 5), aThenB = row("a b", 7, 5);
    const std::tuple<std::string, int, std::vector<Placed>> cases[] = {
        {"abc", 0, {}}, // the count alone limits what is read: the text need not end in a zero
        {"abc", -3, {}},
        {"ab\ncd", 5, {{'a', 7, 5}, {'b', 25, 5}, {'c', 7, 23}, {'d', 25, 23}}},
        {letters(36), 36, then(fullRow, {'j', 7, 23})},
        {letters(35) + "\nz", 37, then(fullRow, {'z', 7, 41})}, // a newline after a full row leaves one empty
        // Characters without a glyph draw nothing but take their column.
        {"aAb", 3, aThenB},
        {"a\rb", 3, aThenB},
        {"a\xe4" "b", 3, aThenB},
    };
    for (const auto& [text, count, expected] : cases)
        EXPECT_EQ(layOut(text, 0, count), expected) << ::testing::PrintToString(text) << " count " << count;
}

TEST(PageLayout, SkippedCharactersKeepTheirPlacesSoThePageLooksTheSameFromAnyStart)
{
    const std::string page = "first row\nsecond\n\n" + letters(50) + "\nlast";
    const std::vector<Placed> whole = layOut(page, 0, static_cast<int>(page.size()));
    for (int first = 0; first <= static_cast<int>(page.size()); ++first) {
        // The glyphs of characters from index first on, where the whole page puts them.
        int glyphsBefore = 0;
        for (int i = 0; i < first; ++i)
            glyphsBefore += glyphIndex(static_cast<unsigned char>(page[i])) >= 0;
        ASSERT_EQ(layOut(page, first, static_cast<int>(page.size())), std::vector<Placed>(whole.begin() + glyphsBefore, whole.end()))
            << "first = " << first;
    }
}

namespace {

// The glyph files composited over black by ImageMagick at the given places.
bool composite(const std::vector<Placed>& glyphs, const std::string& output)
{
    std::string command = "convert -size 640x480 xc:black";
    // The glyph files store their rows bottom up; ImageMagick keeps that as an
    // orientation tag, which -auto-orient applies.
    for (const Placed& p : glyphs)
        command += std::string(" \\( \"") + win32host::hostPath(glyphFiles[fontOrder.find(p.character)]) +
                   "\" -auto-orient \\) -geometry +" + std::to_string(p.x) + "+" + std::to_string(p.y) + " -composite";
    command += " -alpha off -depth 8 \"" + output + "\"";
    return std::system(command.c_str()) == 0;
}

// The frame just presented against the glyph files composited at the given places.
void expectMatches(const std::vector<uint32_t>& frame, const std::vector<Placed>& glyphs, const std::string& name)
{
    const std::string referencePath = std::string(TOVIRA_TEST_BINARY_DIR) + "/" + name + "-reference.png";
    ASSERT_TRUE(composite(glyphs, referencePath));
    EXPECT_TRUE(matchesImage(imageFromFrame(frame.data(), 640, 480, 640 * 4), referencePath, name));
}

} // namespace

TEST(TextPixels, APageAndALineMatchTheGlyphFilesCompositedAtTheirPlaces)
{
    ENTER_SHOW_DATA_OR_SKIP(inData);
    DrawDevice device;
    loadAssets();
    ASSERT_TRUE(win32host::shownMessageBoxes().empty());

    // A page from its second character on: a short row, a full row that wraps its 36th
    // character, a row of marks. Every glyph of the font is drawn once or more.
    const std::string page = "tovira!\n" + fontOrder.substr(0, 36) + "\nx.y/z:-,";
    std::vector<Placed> expected = row(" ovira!", 7, 5);
    for (const std::vector<Placed>& more : {row(fontOrder.substr(0, 35), 7, 23), row("9", 7, 41), row("x.y/z:-,", 7, 59)})
        expected.insert(expected.end(), more.begin(), more.end());
    device.enterOverlay();
    device.clearToBlack();
    writeTextPage(page.data(), 1, static_cast<int>(page.size()));
    expectMatches(device.present(), expected, "text-page");

    // A line: the title at its place, spaces and a newline taking their columns.
    const std::string title = "--: tovira\n:--";
    const std::vector<Placed> line = row(title, 194, 272);
    device.clearToBlack();
    writeString(title.c_str(), 194, 272);
    expectMatches(device.present(), line, "text-line");
}
