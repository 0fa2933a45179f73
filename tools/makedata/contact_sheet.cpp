#include "contact_sheet.h"

#include <algorithm>
#include <map>

#include "canvas.h"
#include "font.h"
#include "jpeg_codec.h"
#include "model_preview.h"
#include "png_writer.h"
#include "tga_decoder.h"

namespace makedata {

namespace {

constexpr int sheetWidth = 1600;
constexpr int margin = 24;
constexpr Rgba background{34, 34, 40, 255};
constexpr Rgba titleInk{240, 240, 245, 255};
constexpr Rgba labelInk{170, 172, 184, 255};
constexpr Rgba cellMark{255, 70, 70, 255};

// Places boxes left to right, wrapping to a new row at the sheet's edge.
struct Flow {
    int x = margin, y = margin, rowHeight = 0;

    std::pair<int, int> place(int w, int h)
    {
        if (x + w > sheetWidth - margin && x > margin) {
            newRow();
        }
        const std::pair<int, int> at{x, y};
        x += w + 16;
        rowHeight = std::max(rowHeight, h);
        return at;
    }
    void newRow(int gap = 16)
    {
        y += rowHeight + gap;
        x = margin;
        rowHeight = 0;
    }
};

struct Decoded {
    std::map<std::string, Image> pictures;
    std::map<char, Image> glyphs;
    std::map<std::string, Mesh> models;
};

bool decodeAll(const std::vector<BuiltFile>& files, Decoded* out, std::string* error)
{
    for (const BuiltFile& file : files) {
        std::string why;
        if (file.kind == FileKind::Model) {
            std::optional<Mesh> mesh = decodeR3d(file.bytes);
            if (!mesh) {
                *error = file.name + " does not decode as a model";
                return false;
            }
            out->models[file.name] = std::move(*mesh);
            continue;
        }
        std::optional<Image> image = file.kind == FileKind::Jpeg ? decodeJpeg(file.bytes, &why) : decodeTga(file.bytes, &why);
        if (!image) {
            *error = file.name + " does not decode: " + why;
            return false;
        }
        const auto glyph = std::find_if(glyphTable.begin(), glyphTable.end(),
                                        [&](const GlyphEntry& g) { return file.name == g.fileName; });
        if (glyph != glyphTable.end()) {
            out->glyphs[glyph->character] = std::move(*image);
        } else {
            out->pictures[file.name] = std::move(*image);
        }
    }
    return true;
}

void drawSectionTitle(Image& sheet, FontFace& face, Flow& flow, const std::string& title)
{
    if (flow.x > margin) {
        flow.newRow(28);
    }
    drawLabel(sheet, face, title, margin, flow.y, titleInk, 18);
    flow.y += 32;
}

void drawPictures(Image& sheet, FontFace& face, Flow& flow, const std::vector<BuiltFile>& files, const Decoded& decoded)
{
    drawSectionTitle(sheet, face, flow, "Pictures (decoded from the encoded files, 1:1)");
    for (const BuiltFile& file : files) {
        const auto found = decoded.pictures.find(file.name);
        if (found == decoded.pictures.end()) {
            continue;
        }
        const Image& picture = found->second;
        const auto [x, y] = flow.place(std::max(picture.width, 220), picture.height + 40);
        fillChecker(sheet, x, y, picture.width, picture.height, 8);
        drawPicture(sheet, picture, x, y);
        drawLabel(sheet, face, file.name, x, y + picture.height + 4, titleInk, 13);
        const std::string info = std::to_string(picture.width) + "x" + std::to_string(picture.height) + "  " +
                                 describeEncoding(file) + "  " + std::to_string(file.bytes.size()) + " bytes";
        drawLabel(sheet, face, info, x, y + picture.height + 21, labelInk, 11);
    }
}

void drawGlyphs(Image& sheet, FontFace& face, Flow& flow, const Decoded& decoded)
{
    drawSectionTitle(sheet, face, flow, "Glyphs at 3x (red: the writer's 18x18 cell)");
    constexpr int scale = 3;
    for (const GlyphEntry& entry : glyphTable) {
        const Image& glyph = decoded.glyphs.at(entry.character);
        const int size = glyphSize * scale;
        const auto [x, y] = flow.place(size, size + 20);
        fillChecker(sheet, x, y, size, size, 6);
        drawPicture(sheet, glyph, x, y, scale);
        frameRect(sheet, x - 1, y - 1, glyphCell * scale + 2, glyphCell * scale + 2, cellMark);
        drawLabel(sheet, face, std::string("'") + entry.character + "'  " + entry.fileName, x, y + size + 3, labelInk,
                  11);
    }
}

// Text over the kinds of background the show puts it on, at the writer's pitch.
void drawTextSamples(Image& sheet, FontFace& face, Flow& flow, const Decoded& decoded)
{
    drawSectionTitle(sheet, face, flow, "Text as the writer sets it (18-pixel pitch, 1:1 and 2x)");
    const std::vector<std::string> lines = {"the quick brown fox jumps over a lazy dog", "0123456789 !./:-, --: tovira :--",
                                            "-----------------------------------"};
    const std::vector<const char*> backdrops = {"", "white", "texture02.jpg", "envi02.jpg", "tarvok1.tga", "texture06.jpg"};
    constexpr int panelW = 760, panelH = 72;
    for (const char* name : backdrops) {
        const auto [x, y] = flow.place(panelW, panelH);
        const std::string backdrop = name;
        if (backdrop.empty()) {
            fillRect(sheet, x, y, panelW, panelH, Rgba{0, 0, 0, 255});
        } else if (backdrop == "white") {
            fillRect(sheet, x, y, panelW, panelH, Rgba{255, 255, 255, 255});
        } else {
            drawStretched(sheet, decoded.pictures.at(backdrop), x, y, panelW, panelH);
        }
        for (size_t i = 0; i < lines.size(); ++i) {
            drawGlyphLine(sheet, decoded.glyphs, lines[i], x + 7, y + 5 + 18 * int(i));
        }
    }
    flow.newRow();
    Image zoom(380, 60);
    drawStretched(zoom, decoded.pictures.at("envi02.jpg"), 0, 0, 380, 60);
    drawGlyphLine(zoom, decoded.glyphs, "sorvina presents:", 7, 5);
    drawGlyphLine(zoom, decoded.glyphs, "--: tovira :--", 7, 23);
    const auto [x, y] = flow.place(zoom.width * 2, zoom.height * 2);
    drawPicture(sheet, zoom, x, y, 2);
}

// The title scene's composition: model, logo band, and the two typed lines.
void drawTitleFrame(Image& sheet, FontFace& face, Flow& flow, const Decoded& decoded)
{
    drawSectionTitle(sheet, face, flow, "Frames as the scenes compose them");
    const auto [x, y] = flow.place(640, 480 + 20);
    Image frame = renderScenePreview(decoded.models.at("knodu.r3d"), decoded.pictures.at("envi01.jpg"),
                                     decoded.pictures.at("texture02.jpg"), PreviewPose::title());
    drawPicture(frame, decoded.pictures.at("sorvina.tga"), 64, 176);
    drawGlyphLine(frame, decoded.glyphs, "--------------", 194, 190);
    drawGlyphLine(frame, decoded.glyphs, "--: tovira :--", 194, 272);
    drawPicture(sheet, frame, x, y);
    drawLabel(sheet, face, "title scene", x, y + 484, labelInk, 11);

    const auto [x2, y2] = flow.place(640, 480 + 20);
    Image closing = renderScenePreview(decoded.models.at("obu.r3d"), decoded.pictures.at("texture06.jpg"),
                                       decoded.pictures.at("texture02.jpg"), PreviewPose::closing());
    drawPicture(closing, decoded.pictures.at("tarvok2.tga"), 384, -16);
    const std::vector<std::string> page = {"a page of text typed over", "the model and the picture,",
                                           "one glyph every 18 pixels", "across and 18 down."};
    for (size_t i = 0; i < page.size(); ++i) {
        drawGlyphLine(closing, decoded.glyphs, page[i], 7, 5 + 18 * int(i));
    }
    drawPicture(sheet, closing, x2, y2);
    drawLabel(sheet, face, "closing scene", x2, y2 + 484, labelInk, 11);

    const auto [x3, y3] = flow.place(640, 480 + 20);
    Image swarm = renderScenePreview(decoded.models.at("glimmora.r3d"), decoded.pictures.at("texture01.jpg"),
                                     decoded.pictures.at("texture07.jpg"), PreviewPose::swarm());
    drawPicture(swarm, decoded.pictures.at("tarvok1.tga"), 384, 96);
    drawPicture(sheet, swarm, x3, y3);
    drawLabel(sheet, face, "swarm scene, first run", x3, y3 + 484, labelInk, 11);
}

void drawModels(Image& sheet, FontFace& face, Flow& flow, const Decoded& decoded)
{
    drawSectionTitle(sheet, face, flow, "Models (textured and reflection-mapped as in their scenes)");
    struct Shown {
        const char* model;
        const char* base;
        const char* reflection;
    };
    const Shown shown[] = {{"knodu.r3d", "envi01.jpg", "texture02.jpg"},
                           {"obu.r3d", "texture06.jpg", "texture02.jpg"},
                           {"thingy.r3d", "texture05.jpg", "texture02.jpg"},
                           {"glimmora.r3d", "texture01.jpg", "texture07.jpg"},
                           {"glimmora.r3d", "texture06.jpg", "envi02.jpg"}};
    for (const Shown& s : shown) {
        const Mesh& mesh = decoded.models.at(s.model);
        const Image preview = renderModelPreview(mesh, decoded.pictures.at(s.base), decoded.pictures.at(s.reflection));
        const auto [x, y] = flow.place(preview.width, preview.height + 56);
        drawPicture(sheet, preview, x, y);
        drawLabel(sheet, face, s.model, x, y + preview.height + 4, titleInk, 13);
        const std::string counts = std::to_string(mesh.vertices.size()) + " vertices, " +
                                   std::to_string(mesh.triangles.size()) + " triangles";
        drawLabel(sheet, face, counts, x, y + preview.height + 21, labelInk, 11);
        drawLabel(sheet, face, std::string(s.base) + " + " + s.reflection, x, y + preview.height + 36, labelInk, 11);
    }
}

Image cropRows(const Image& image, int height)
{
    Image out(image.width, height);
    std::copy(image.pixels.begin(), image.pixels.begin() + long(image.width) * height, out.pixels.begin());
    return out;
}

}  // namespace

std::string describeEncoding(const BuiltFile& file)
{
    if (file.kind == FileKind::Jpeg) {
        return "JPEG";
    }
    if (file.kind == FileKind::Model || file.bytes.size() < 18) {
        return "model";
    }
    const int type = file.bytes[2];
    const int bits = file.bytes[16];
    const bool topDown = (file.bytes[17] & 0x20) != 0;
    std::string text = "TGA ";
    text += (type & 3) == 1 ? "8-bit colour-mapped" : std::to_string(bits) + "-bit";
    text += (type & 8) ? " RLE" : " raw";
    text += topDown ? " top-down" : " bottom-up";
    return text;
}

bool writeContactSheet(const std::vector<BuiltFile>& files, const std::string& path, std::string* error)
{
    Decoded decoded;
    if (!decodeAll(files, &decoded, error)) {
        return false;
    }
    FontHandle face = openFont("DejaVuSans.ttf", error);
    if (!face) {
        return false;
    }
    Image sheet(sheetWidth, 6000);
    fillRect(sheet, 0, 0, sheet.width, sheet.height, background);
    Flow flow;
    drawLabel(sheet, *face, "tovira data set: contact sheet", margin, flow.y, titleInk, 24);
    flow.y += 44;
    drawPictures(sheet, *face, flow, files, decoded);
    drawGlyphs(sheet, *face, flow, decoded);
    drawTextSamples(sheet, *face, flow, decoded);
    drawTitleFrame(sheet, *face, flow, decoded);
    drawModels(sheet, *face, flow, decoded);
    flow.newRow();
    return writePng(path, cropRows(sheet, std::min(sheet.height, flow.y + margin)), error);
}

}  // namespace makedata
