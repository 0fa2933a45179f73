#include "show_recorder.h"
#include "assets.h"

#include <cstdio>
#include <cstring>

namespace {

// The characters the glyph textures stand for, in GlyphSet order.
const char GLYPH_CHARACTERS[GLYPH_COUNT + 1] = "abcdefghijklmnopqrstuvwxyz0123456789!./:-,";

// The stage the recorder borrows to learn a texture's device label; the show never uses it.
constexpr DWORD PROBE_STAGE = 7;
const char SCENE_SETUP_CALL[] = "SetTextureStageState(1,11,196608)";

// "Name(a,b,c)" -> "a,b,c"
std::string arguments(const std::string& call)
{
    const size_t open = call.find('('), close = call.rfind(')');
    return open < close && close != std::string::npos ? call.substr(open + 1, close - open - 1) : "";
}

std::array<float, 16> parseMatrix(const std::string& text)
{
    std::array<float, 16> m{};
    if (text == "identity") {
        m[0] = m[5] = m[10] = m[15] = 1.0f;
        return m;
    }
    const char* p = text.c_str() + (text.empty() ? 0 : 1); // past '['
    for (float& value : m) {
        char* end = nullptr;
        value = std::strtof(p, &end);
        p = end;
    }
    return m;
}

} // namespace

std::vector<const RecordedFrame*> framesOfScene(const std::vector<RecordedFrame>& frames, int position)
{
    std::vector<const RecordedFrame*> result;
    for (const RecordedFrame& frame : frames)
        if (frame.scene == position)
            result.push_back(&frame);
    return result;
}

ShowRecorder::ShowRecorder(ShowHarness& harness)
{
    harness.onFrame = [this](const d3d8host::FrameView& view) {
        if (textureNames.empty())
            nameResources();
        summarise(d3d8host::recordedCalls());
        d3d8host::clearRecordedCalls();
        captureIfDue(view);
    };
}

void ShowRecorder::captureIfDue(const d3d8host::FrameView& view)
{
    const RecordedFrame& frame = recorded.back();
    for (auto it = pendingCaptures.begin(); it != pendingCaptures.end();) {
        if (frame.scene == it->scene && frame.elapsed >= it->elapsed) {
            captured[it->name] = imageFromFrame(view.pixels, view.width, view.height, view.pitchBytes);
            it = pendingCaptures.erase(it);
        } else {
            ++it;
        }
    }
}

void ShowRecorder::nameResources()
{
    const ShowState& g = showState;
    IDirect3DDevice8* device = g.device;
    auto labelOf = [device](IDirect3DTexture8* texture) {
        device->SetTexture(PROBE_STAGE, texture);
        const std::string label = arguments(d3d8host::recordedCalls().back()).substr(2);
        device->SetTexture(PROBE_STAGE, nullptr);
        return label;
    };
    const std::pair<const char*, IDirect3DTexture8*> fields[] = {
        {"texture01", g.texture01},         {"texture02", g.texture02},           {"texture05", g.texture05},
        {"texture06", g.texture06},         {"texture07", g.texture07},           {"logoTexture", g.logoTexture},
        {"envi01Texture", g.envi01Texture}, {"envi02Texture", g.envi02Texture},   {"tarvok1Texture", g.tarvok1Texture},
        {"tarvok2Texture", g.tarvok2Texture}, {"fadeTexture", g.fadeTexture},
    };
    for (const auto& [name, texture] : fields)
        if (texture != nullptr)
            textureNames[labelOf(texture)] = name;
    for (int i = 0; i < GLYPH_COUNT; ++i)
        if (g.glyphs[i] != nullptr)
            textureNames[labelOf(g.glyphs[i])] = std::string("glyph:") + GLYPH_CHARACTERS[i];
    textureNames["null"] = "null";

    const std::pair<const char*, const Mesh*> meshes[] = {
        {"knoduMesh", g.knoduMesh}, {"thingyMesh", g.thingyMesh}, {"obuMesh", g.obuMesh}, {"glimmoraMesh", g.glimmoraMesh}};
    for (const auto& [name, mesh] : meshes)
        if (mesh != nullptr)
            meshNames[{mesh->vertexCount, mesh->triangleCount}] = name;
}

void ShowRecorder::summarise(const std::vector<std::string>& calls)
{
    RecordedFrame frame;
    const DWORD now = GetTickCount();
    for (const std::string& call : calls) {
        if (call == SCENE_SETUP_CALL) {
            ++currentScene;
            frameInScene = 0;
            sceneStart = now; // the clock stands still from the scene's start to its first present
        } else if (call.starts_with("SetTexture(")) {
            const std::string args = arguments(call);
            const std::string label = args.substr(args.find(',') + 1);
            const auto named = textureNames.find(label);
            const std::string name = named != textureNames.end() ? named->second : label;
            if (args.starts_with("0,"))
                texture0 = name;
        } else if (call.starts_with("SetTransform(256,")) {
            world = parseMatrix(arguments(call).substr(4));
        } else if (call.starts_with("SetTransform(3,")) {
            const std::array<float, 16> m = parseMatrix(arguments(call).substr(2));
            if (m[11] == 1.0f && m[15] == 0.0f) // not the overlay's orthographic projection
                projection = m;
        } else if (call.starts_with("Clear(")) {
            unsigned count = 0, flags = 0;
            std::sscanf(arguments(call).c_str(), "%u,%u", &count, &flags);
            frame.clearFlags = flags;
        } else if (call.starts_with("SetRenderState(143,")) {
            frame.normalizeNormals = call == "SetRenderState(143,1)";
        } else if (call.starts_with("DrawIndexedPrimitive(")) {
            int type = 0, minIndex = 0, vertices = 0, startIndex = 0, triangles = 0;
            std::sscanf(arguments(call).c_str(), "%d,%d,%d,%d,%d", &type, &minIndex, &vertices, &startIndex, &triangles);
            const auto named = meshNames.find({vertices, triangles});
            frame.meshes.push_back({named != meshNames.end() ? named->second : "?", world});
        } else if (call.starts_with("DrawPrimitive(")) {
            frame.quads.push_back(texture0);
            if (texture0.starts_with("glyph:"))
                frame.glyphs += texture0.back();
        }
    }
    frame.scene = currentScene;
    frame.frameInScene = ++frameInScene;
    frame.elapsed = now - sceneStart;
    frame.projection = projection;
    frame.lastQuadDiffuse = showState.quadVertices[0].diffuse;
    frame.swarmRunCount = showState.swarmRunCount;
    recorded.push_back(std::move(frame));
}
