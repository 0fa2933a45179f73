// The bitmap-font writers: the page layout (pen steps, wrapping, newlines, skipped
// characters), the glyphs each writer binds and draws, and the pixels of a page
// compared with the glyph files composited by ImageMagick at the positions the
// layout rules give.
#include "draw_device.h"
#include "draw.h"
#include "assets.h"
#include "golden_image.h"
#include "show_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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

// The characters of `text` other than spaces, one pen step apart from (x, y).
std::vector<Placed> row(const std::string& text, int x, int y)
{
    std::vector<Placed> placed;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != ' ')
            placed.push_back({text[i], x + GLYPH_ADVANCE * static_cast<int>(i), y});
    return placed;
}

// Distinct one-colour textures as the glyphs, so that every draw names its character.
struct FakeFont {
    std::map<std::string, char> characterOfLabel;

    explicit FakeFont(DrawDevice& device)
    {
        const std::string& characters = fontOrder;
        for (int i = 0; i < GLYPH_COUNT; ++i) {
            showState.glyphs[i] = device.solidTexture(0xFF000000u | static_cast<uint32_t>(i + 1));
            characterOfLabel[device.labelOf(showState.glyphs[i])] = characters[i];
        }
    }

    // The characters drawn since the record held start calls, one per SetTexture + draw.
    std::string drawnSince(size_t start) const
    {
        const auto& calls = d3d8host::recordedCalls();
        std::string drawn, bound;
        for (size_t i = start; i < calls.size(); ++i) {
            if (calls[i].rfind("SetTexture(0,", 0) == 0)
                bound = calls[i].substr(13, calls[i].size() - 14);
            else if (calls[i] == "DrawPrimitive(6,0,2)")
                drawn += characterOfLabel.count(bound) ? characterOfLabel.at(bound) : '?';
        }
        return drawn;
    }
};

} // namespace

TEST(PageLayout, PenStepsWrapsAtThirtyFiveColumnsAndNewlinesStartTheNextRow)
{
    auto then = [](std::vector<Placed> placed, Placed next) {
        placed.push_back(next);
        return placed;
    };
    const std::vector<Placed> fullRow = row(letters(35), 7, 5), aThenB = row("a b", 7, 5);
    struct Case {
        std::string text;
        int count;
        std::vector<Placed> expected;
    };
    const Case cases[] = {
        {"abc", 0, {}},
        {"abc", -3, {}},
        {"ab\ncd", 5, {{'a', 7, 5}, {'b', 25, 5}, {'c', 7, 23}, {'d', 25, 23}}},
        {letters(36), 36, then(fullRow, {'j', 7, 23})},
        {letters(35) + "\nz", 37, then(fullRow, {'z', 7, 41})}, // a newline after a full row leaves one empty
        // Characters without a glyph draw nothing but take their column.
        {"a b", 3, aThenB},
        {"aAb", 3, aThenB},
        {"a?b", 3, aThenB},
        {"a\rb", 3, aThenB},
        {"a\xe4" "b", 3, aThenB},
    };
    for (const Case& c : cases)
        EXPECT_EQ(layOut(c.text, 0, c.count), c.expected) << ::testing::PrintToString(c.text) << " count " << c.count;
}

TEST(PageLayout, TheCountLimitsWhatIsReadAndRaisingItAddsOneCharacter)
{
    const char unterminated[3] = {'x', 'y', 'z'};
    std::vector<Placed> placed;
    layoutTextPage(unterminated, 0, 3, [&](int index, int x, int y) { placed.push_back({unterminated[index], x, y}); });
    EXPECT_EQ(placed, (std::vector<Placed>{{'x', 7, 5}, {'y', 25, 5}, {'z', 43, 5}}));

    const std::string page = "one\ntwo three\n" + letters(40);
    for (int count = 1; count <= static_cast<int>(page.size()); ++count) {
        const std::vector<Placed> shorter = layOut(page, 0, count - 1), longer = layOut(page, 0, count);
        ASSERT_EQ(std::vector<Placed>(longer.begin(), longer.begin() + static_cast<long>(shorter.size())), shorter);
        ASSERT_LE(longer.size() - shorter.size(), 1u);
    }
}

TEST(PageLayout, SkippedCharactersKeepTheirPlacesSoThePageLooksTheSameFromAnyStart)
{
    const std::string page = "first row\nsecond\n\n" + letters(50) + "\nlast";
    const std::vector<Placed> whole = layOut(page, 0, static_cast<int>(page.size()));
    for (int first = 0; first <= static_cast<int>(page.size()); ++first) {
        std::vector<Placed> expected;
        // The glyphs of characters from index first on, where the whole page puts them.
        int glyphsBefore = 0;
        for (int i = 0; i < first; ++i)
            glyphsBefore += glyphIndex(static_cast<unsigned char>(page[i])) >= 0;
        expected.assign(whole.begin() + glyphsBefore, whole.end());
        ASSERT_EQ(layOut(page, first, static_cast<int>(page.size())), expected) << "first = " << first;
    }
}

TEST(TextWriters, EachVisibleCharacterIsOneRectangleWithItsGlyphInTextOrder)
{
    DrawDevice device;
    FakeFont font(device);

    // Every glyph in the font's order, and characters without one skipped.
    size_t start = d3d8host::recordedCalls().size();
    const std::string whole = fontOrder + " A?\n\r\t\x7f\x80\xff;'\"_";
    writeTextPage(whole.data(), 0, static_cast<int>(whole.size()));
    EXPECT_EQ(font.drawnSince(start), fontOrder);

    start = d3d8host::recordedCalls().size();
    const std::string page = "hi there\n";
    writeTextPage(page.data(), 3, 5);
    EXPECT_EQ(font.drawnSince(start), "th");

    start = d3d8host::recordedCalls().size();
    writeString("", 194, 190);
    EXPECT_EQ(font.drawnSince(start), "");
    writeString("a b\nc", 194, 190);
    EXPECT_EQ(font.drawnSince(start), "abc");
    // The last rectangle is the last glyph, four columns along the line.
    EXPECT_EQ(showState.quadVertices[0].x, 194.0f + 4 * 18);
    EXPECT_EQ(showState.quadVertices[0].y, 190.0f);
    EXPECT_EQ(showState.quadVertices[2].x, 194.0f + 4 * 18 + 32);
    EXPECT_EQ(showState.quadVertices[0].diffuse, 0xFFFFFFFFu);
}

namespace {

// The glyph files composited over black by ImageMagick at the given places.
bool composite(const std::vector<Placed>& glyphs, const std::string& output)
{
    std::string command = "convert -size 640x480 xc:black";
    auto hostPath = [](std::string path) {
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    };
    // The glyph files store their rows bottom up; ImageMagick keeps that as an
    // orientation tag, which -auto-orient applies.
    for (const Placed& p : glyphs)
        command += std::string(" \\( \"") + hostPath(glyphFiles[glyphIndex(static_cast<unsigned char>(p.character))]) +
                   "\" -auto-orient \\) -geometry +" + std::to_string(p.x) + "+" + std::to_string(p.y) + " -composite";
    command += " -alpha off -depth 8 \"" + output + "\"";
    return std::system(command.c_str()) == 0;
}

RgbImage frameImage(const std::vector<uint32_t>& pixels)
{
    return imageFromFrame(pixels.data(), 640, 480, 640 * 4);
}

void expectMatches(const RgbImage& actual, const std::vector<Placed>& glyphs, const std::string& name)
{
    const std::string referencePath = std::string(TOVIRA_TEST_BINARY_DIR) + "/" + name + "-reference.png";
    ASSERT_TRUE(composite(glyphs, referencePath));
    RgbImage reference;
    std::string error;
    ASSERT_TRUE(readPng(referencePath, reference, error)) << error;
    const ImageComparison comparison = compareImages(actual, reference, 2);
    EXPECT_TRUE(comparison.sameSize);
    if (comparison.pixelsBeyondTolerance != 0) {
        writePng(std::string(TOVIRA_TEST_BINARY_DIR) + "/" + name + "-actual.png", actual);
        writePng(std::string(TOVIRA_TEST_BINARY_DIR) + "/" + name + "-difference.png", comparison.difference);
    }
    EXPECT_EQ(comparison.pixelsBeyondTolerance, 0) << "largest difference " << comparison.largestChannelDifference
                                                   << "; images written to " << TOVIRA_TEST_BINARY_DIR;
}

} // namespace

TEST(TextPixels, APageAndALineMatchTheGlyphFilesCompositedAtTheirPlaces)
{
    ENTER_SHOW_DATA_OR_SKIP(inData);
    DrawDevice device;
    loadAssets();
    ASSERT_TRUE(win32host::shownMessageBoxes().empty());

    // A page: a short row, a full row that wraps its 36th character, a row of marks.
    const std::string page = "tovira!\n" + fontOrder.substr(0, 36) + "\nx.y/z:-,";
    std::vector<Placed> expected = row("tovira!", 7, 5);
    for (const std::vector<Placed>& more : {row(fontOrder.substr(0, 35), 7, 23), row("9", 7, 41), row("x.y/z:-,", 7, 59)})
        expected.insert(expected.end(), more.begin(), more.end());
    device.enterOverlay();
    device.clearToBlack();
    writeTextPage(page.data(), 0, static_cast<int>(page.size()));
    expectMatches(frameImage(device.present()), expected, "text-page");

    // A line: the title at its place, spaces taking their columns.
    const std::string title = "--: tovira :--";
    const std::vector<Placed> line = row(title, 194, 272);
    device.clearToBlack();
    writeString(title.c_str(), 194, 272);
    expectMatches(frameImage(device.present()), line, "text-line");
}
