// Models on the device: what loadModel puts into the buffers, how drawMesh draws, and
// how every file or device failure ends in an empty mesh that draws nothing.
#include "assets/r3d_builder.h"
#include "show_device_fixture.h"

#include <cstring>
#include <tuple>

namespace {

template <typename Buffer>
std::vector<uint8_t> bufferBytes(Buffer* buffer, UINT size)
{
    BYTE* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, size, &data, 0), D3D_OK);
    std::vector<uint8_t> bytes(data, data + size);
    buffer->Unlock();
    return bytes;
}

void expectEmpty(const Mesh* mesh)
{
    ASSERT_NE(mesh, nullptr);
    EXPECT_TRUE(!mesh->vertexBuffer && !mesh->indexBuffer && !mesh->vertices && !mesh->indices &&
                mesh->vertexCount == 0 && mesh->triangleCount == 0 && mesh->indexCount == 0);
}

struct ModelMesh : ShowDeviceTest {
    // Loads, checks for an empty mesh that draws nothing, that no device object was left
    // behind, and for exactly one "Failed to load model" box (none with `quietly`).
    void expectFailedLoad(const char* path, const std::string& why, bool quietly = false)
    {
        SCOPED_TRACE(why);
        const size_t boxesBefore = win32host::shownMessageBoxes().size();
        startRecording();
        Mesh* mesh = loadModel(path);
        expectEmpty(mesh);
        EXPECT_EQ(d3d8host::liveObjectCount(), objectsBefore);

        const auto& boxes = win32host::shownMessageBoxes();
        ASSERT_EQ(boxes.size(), boxesBefore + (quietly ? 0 : 1));
        if (!quietly) {
            const auto& box = boxes.back();
            EXPECT_EQ(std::tie(box.text, box.caption, box.parent, box.type),
                      std::make_tuple(std::string("Failed to load model"), std::string(path), showState.window,
                                      UINT(MB_OK)));
        }

        d3d8host::clearRecordedCalls();
        drawMesh(mesh);
        EXPECT_TRUE(recorded().empty());
        releaseMesh(mesh);
        delete mesh;
    }
};

} // namespace

TEST_F(ModelMesh, FailedBeginSceneDrawsNothingAndEndsNoScene)
{
    d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
    config.failBeginScene = true;
    createShowDevice(config);
    gridModel(3).write("data/grid.r3d");
    Mesh* mesh = loadModel("data\\grid.r3d");
    ASSERT_NE(mesh->vertexBuffer, nullptr);
    startRecording();
    drawMesh(mesh);
    EXPECT_EQ(recorded(), std::vector<std::string>{"BeginScene"});
    releaseMesh(mesh);
    delete mesh;
}

// Which files the reader refuses is the model file tests' matter; here any refusal must end
// in the message box and an empty mesh.
TEST_F(ModelMesh, MissingAndMalformedFilesGiveAnEmptyMeshAndOneMessageBoxEach)
{
    createShowDevice();
    expectFailedLoad("data\\missing.r3d", "missing file");
    R3dFile truncated = gridModel(3);
    truncated.bytes.pop_back();
    truncated.write("data/truncated.r3d");
    expectFailedLoad("data\\truncated.r3d", "truncated file");
    // A model without triangles has nothing to draw, which is no failure.
    R3dFile().header(3, 0, 0, 0).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).write("data/points.r3d");
    expectFailedLoad("data\\points.r3d", "no triangles", true);
}

TEST_F(ModelMesh, FailingBufferCreationOrLockGivesAnEmptyMeshAndLeaksNoBuffer)
{
    gridModel(3).write("data/grid.r3d");
    const std::pair<const char*, void (*)(d3d8host::DeviceConfig&)> cases[] = {
        {"vertex buffer creation", [](d3d8host::DeviceConfig& c) { c.failCreateVertexBuffer = true; }},
        {"index buffer creation", [](d3d8host::DeviceConfig& c) { c.failCreateIndexBuffer = true; }},
        {"vertex buffer lock", [](d3d8host::DeviceConfig& c) { c.failLockAfter = 0; }},
        {"index buffer lock", [](d3d8host::DeviceConfig& c) { c.failLockAfter = 1; }},
    };
    for (const auto& [why, configure] : cases) {
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        configure(config);
        createShowDevice(config);
        expectFailedLoad("data\\grid.r3d", why);
        releaseShowDevice();
        d3d8host::resetForTest();
    }
}

TEST_F(ModelMesh, BuffersHoldTheParsedModelEachDrawIsOneIndexedTriangleListInItsOwnScene)
{
    createShowDevice();
    const R3dFile file = gridModel(4);
    file.write("data/grid.r3d");
    ModelData expected;
    ASSERT_TRUE(parseModel(file.bytes.data(), file.bytes.size(), expected));
    Mesh* mesh = loadModel("data\\grid.r3d");
    ASSERT_TRUE(mesh->vertexBuffer && mesh->indexBuffer);
    EXPECT_TRUE(win32host::shownMessageBoxes().empty());
    // Byte for byte the parsed arrays.
    const std::vector<uint8_t> vertexBytes = bufferBytes(mesh->vertexBuffer, 44 * 16);
    EXPECT_EQ(0, std::memcmp(vertexBytes.data(), expected.vertices.data(), vertexBytes.size()));
    const std::vector<uint8_t> indexBytes = bufferBytes(mesh->indexBuffer, 12 * 18);
    EXPECT_EQ(0, std::memcmp(indexBytes.data(), expected.indices.data(), indexBytes.size()));

    startRecording();
    drawMesh(mesh);
    drawMesh(mesh);
    const std::vector<std::string> oneDraw = {"BeginScene",         "SetVertexShader(0x216)",
                                              "SetStreamSource(0,vb#1,44)", "SetIndices(ib#1,0)",
                                              "DrawIndexedPrimitive(4,0,16,0,18)", "EndScene"};
    std::vector<std::string> calls = oneDraw;
    calls.insert(calls.end(), oneDraw.begin(), oneDraw.end());
    EXPECT_EQ(recorded(), calls);
    releaseMesh(mesh);
    expectEmpty(mesh);
    delete mesh;
}
