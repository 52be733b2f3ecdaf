#include "support/plugin_session.h"

#include "export/byte_order.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "standin/host/json_scene_loader.h"

namespace vorn_test {

namespace fs = std::filesystem;

void PluginSessionTest::SetUp() {
    standin::ResetWindowSystem();
    Load();
    commandPanel = std::make_unique<standin::CommandPanel>();
    host = std::make_unique<standin::StandinHost>(&scene, commandPanel.get());
}

void PluginSessionTest::TearDown() {
    if (IsOpen()) Close();
    commandPanel.reset();
    host.reset();
    EXPECT_EQ(standin::UnusedAnswers(), 0u) << "the script answered dialogs that never opened";
    const std::vector<std::string>& notes = standin::Record().notes;
    EXPECT_EQ(notes.size(), expectedNotes) << (notes.empty() ? std::string() : notes.front());
    if (module_) {
        EXPECT_TRUE(module_->Unload()) << module_->error();
    }
    module_.reset();
    standin::ResetWindowSystem();
}

void PluginSessionTest::Load() {
    module_ = std::make_unique<standin::PluginModule>(VORN_MODULE);
    ASSERT_TRUE(module_->loaded()) << module_->error();
}

void PluginSessionTest::ReloadModule() {
    ASSERT_FALSE(IsOpen()) << "close the utility before unloading its module";
    ASSERT_TRUE(module_->Unload()) << module_->error();
    Load();
}

bool PluginSessionTest::BuffersReleased() const {
    const QuakeExportUtility& u = Exporter();
    return !u.vertices && !u.faces && !u.textures && !u.skinBuffer && !u.skinIndexBuffer;
}

void PluginSessionTest::LoadScene(const char* fixture) {
    std::string error;
    const std::string path = std::string(VORN_TEST_DATA_DIR) + "/panel/" + fixture;
    ASSERT_TRUE(standin::LoadJsonScene(path, scene, error)) << error;
}

standin::SceneNode* PluginSessionTest::Node(const char* name) const {
    for (const auto& child : scene.root->children) {
        if (child->name == name) return child.get();
    }
    ADD_FAILURE() << "no node " << name;
    return nullptr;
}

void PluginSessionTest::SetBitmap(const char* node, const std::string& fileName) {
    standin::SceneNode* n = Node(node);
    ASSERT_NE(n, nullptr);
    ASSERT_NE(n->material, nullptr);
    n->material->diffuse = std::make_unique<standin::SceneBitmapTex>(fileName);
}

void PluginSessionTest::Open() {
    ASSERT_FALSE(IsOpen());
    const size_t pages = commandPanel->pages().size();
    Utility()->BeginEditParams(host.get(), &utilPanel);
    ASSERT_EQ(commandPanel->pages().size(), pages + 1) << "the utility added no page";
    panel_ = commandPanel->pages().back().window;
}

void PluginSessionTest::Close() {
    ASSERT_TRUE(IsOpen());
    Utility()->EndEditParams(host.get(), &utilPanel);
    panel_ = nullptr;
}

std::string PluginSessionTest::Text(int id) const {
    return standin::DescribeWindow(standin::user::FindControl(panel_, id)).text;
}

std::vector<std::string> PluginSessionTest::ListEntries() const {
    return standin::DescribeWindow(standin::user::FindControl(panel_, IDC_FRAME_LIST)).items;
}

UINT PluginSessionTest::CheckState(int id) const {
    return standin::DescribeWindow(standin::user::FindControl(panel_, id)).check;
}

void PluginSessionTest::ExportTo(const std::string& path) {
    standin::QueueSaveAs(path);
    EXPECT_TRUE(Click(IDC_SAVE_MD2));
}

void PluginSessionTest::ImportFrom(const std::string& path) {
    standin::QueueSaveAs(path);
    EXPECT_TRUE(Click(IDC_IMPORT_FRAMES));
}

void PluginSessionTest::PutFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const fs::path path = scratch.File(name);
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::vector<std::string> PluginSessionTest::FilesWritten() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(scratch.path())) {
        if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), scratch.path()).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

md2check::Md2Report PluginSessionTest::Model(const std::string& name) const {
    const std::vector<unsigned char> bytes = scratch.Read(name);
    return md2check::CheckMd2Model(bytes.data(), bytes.size());
}

namespace {

}  // namespace

std::vector<uint8_t> Md2WithFrames(const std::vector<std::string>& names, int32_t vertexCount,
                                   int32_t triangleCount) {
    const auto frames = static_cast<int32_t>(names.size());
    const int32_t frameSize = 40 + 4 * vertexCount;
    const int32_t ofsFrames = 68;
    const int32_t ofsEnd = ofsFrames + frames * frameSize;
    std::vector<uint8_t> out = {'I', 'D', 'P', '2'};
    const int32_t header[16] = {8, 8, 8, frameSize, 0, vertexCount, 0, triangleCount, 0, frames,
                                68, 68, 68, ofsFrames, ofsEnd, ofsEnd};
    for (int32_t field : header) PutI32(out, field);
    for (const std::string& name : names) {
        for (int i = 0; i < 6; ++i) PutI32(out, 0);  // scale and translate: zero floats
        std::string field = name.substr(0, 16);
        field.resize(16, '\0');
        out.insert(out.end(), field.begin(), field.end());
        out.insert(out.end(), static_cast<size_t>(4 * vertexCount), 0);
    }
    return out;
}

int32_t FileI16(const std::vector<unsigned char>& file, size_t offset) {
    if (offset + 2 > file.size()) return -1;
    return static_cast<int16_t>(file[offset] | (file[offset + 1] << 8));
}

int32_t FileI32(const std::vector<unsigned char>& file, size_t offset) {
    if (offset + 4 > file.size()) return -1;
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | file[offset + static_cast<size_t>(i)];
    return static_cast<int32_t>(v);
}

}  // namespace vorn_test
