#include "support/plugin_session.h"

#include <algorithm>
#include <filesystem>

#include "core/byte_order.h"
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
    if (panel_ != nullptr) Close();
    commandPanel.reset();
    host.reset();
    EXPECT_EQ(standin::UnusedAnswers(), 0u) << "the script answered dialogs that never opened";
    EXPECT_EQ(utilPanel.closeCalls, 0) << "the utility closed itself";
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
    ASSERT_EQ(panel_, nullptr) << "close the utility before unloading its module";
    ASSERT_TRUE(module_->Unload()) << module_->error();
    Load();
}

bool PluginSessionTest::BuffersReleased() const {
    const auto& u = *static_cast<QuakeExportUtility*>(Desc()->Create());
    return !u.vertices && !u.faces && !u.textures && !u.skinBuffer && !u.skinIndexBuffer;
}

void PluginSessionTest::LoadScene(const char* fixture) {
    std::string error;
    ASSERT_TRUE(standin::LoadJsonScene(std::string(VORN_TEST_DATA_DIR) + "/panel/" + fixture, scene, error)) << error;
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
    ASSERT_TRUE(n != nullptr && n->material != nullptr) << node;
    n->material->diffuse = std::make_unique<standin::SceneBitmapTex>(fileName);
}

void PluginSessionTest::Open() {
    ASSERT_EQ(panel_, nullptr);
    const size_t pages = commandPanel->pages().size();
    Utility()->BeginEditParams(host.get(), &utilPanel);
    ASSERT_EQ(commandPanel->pages().size(), pages + 1) << "the utility added no page";
    panel_ = commandPanel->pages().back().window;
}

void PluginSessionTest::Close() {
    ASSERT_NE(panel_, nullptr);
    Utility()->EndEditParams(host.get(), &utilPanel);
    panel_ = nullptr;
}

void PluginSessionTest::ExportTo(const std::string& path) {
    standin::QueueSaveAs(path);
    EXPECT_TRUE(Click(IDC_SAVE_MD2));
}

void PluginSessionTest::ImportFrom(const std::string& path) {
    standin::QueueSaveAs(path);
    EXPECT_TRUE(Click(IDC_IMPORT_FRAMES));
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

void PluginSessionTest::ExpectBoxes(size_t count, const std::string& text, const std::string& caption) const {
    ASSERT_EQ(MessageBoxes().size(), count);
    const standin::MessageBoxShown& box = MessageBoxes().back();
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.owner, panel_);
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
}

std::vector<uint8_t> Md2WithFrames(const std::vector<std::string>& names, int32_t vertexCount,
                                   int32_t triangleCount) {
    const auto frames = static_cast<int32_t>(names.size());
    const int32_t frameSize = 40 + 4 * vertexCount;
    const int32_t ofsEnd = 68 + frames * frameSize;
    std::vector<uint8_t> out = {'I', 'D', 'P', '2'};
    const int32_t header[16] = {8, 8, 8, frameSize, 0, vertexCount, 0, triangleCount, 0, frames,
                                68, 68, 68, 68, ofsEnd, ofsEnd};
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

}  // namespace vorn_test
