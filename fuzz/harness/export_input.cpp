// A whole export of a small scene made from the input: up to three textured
// nodes with fuzzed meshes, texture coordinates, materials (bitmaps, other
// maps, multi-materials) and animation; bitmap files of every readable kind,
// broken ones and missing ones; and the panel's fields (frame range, first
// frame, scale as typed, skin name, the two check boxes). The stand-in window
// system answers Save As with a name in the scratch folder.
//
// Each export must either succeed and leave well-formed files (a model the
// independent checker passes, a BMP and a PCX of the page's size), or fail
// with exactly one of the driver's eight messages, leaving an existing model
// as it was when the failure comes before the model is written. It must never
// write a file other than the model, the mesh listing and the two skin files,
// and it must release every export buffer. One input in two runs a second
// export over the first one's model, which takes the update path.

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/md2_check.h"
#include "core/byte_order.h"
#include "core/quake_export_utility.h"
#include "fuzz/harness/fuzz_support.h"
#include "model/md2_format.h"
#include "shell/export_panel.h"
#include "standin/host/standin_scene.h"
#include "standin/windows/window_standin.h"

namespace {

using vorn_fuzz::Bytes;
using vorn_fuzz::Require;

constexpr int kMaxTextures = 3;
constexpr int kMaxMaterials = 4;
constexpr int kMaxNodes = 3;
constexpr int kMaxVertices = 8;
constexpr int kMaxFaces = 8;
constexpr int kMaxFrames = 5;

// The driver's messages in the order of its steps; the index tells whether the
// model had been written when the export stopped.
const struct {
    const char* text;
    const char* caption;
    bool afterModel;
} kDriverMessages[] = {
    {"Cannot get mesh", "Scene Error", false},
    {"Nothing to save. \n(Are all objects to save selected and mapped?)", "Scene Error", false},
    {"Cannot load all Textures...\nAre they all .BMP?", "Scene Error", false},
    {"Unable to place all textures in specified texture size", "Buffer to small", false},
    {"Cannot save model.\n(Is existing model of same vertex and face count?)", "File Error", false},
    {"Cannot allocate memory for texture buffer", "Memory Error", true},
    {"Cannot allocate memory for PCX buffer", "Memory Error", true},
    {"Cannot save PCX image", "File Error", true},
};


// Pixel bytes from a seed: enough variety for the palette match, cheap to make.
void PutPattern(Bytes& b, size_t count, uint8_t seed) {
    for (size_t i = 0; i < count; ++i) b.push_back(static_cast<uint8_t>(seed + i * 37 + (i >> 3) * 11));
}

Bytes MakeBmp(int w, int h, int bits, uint8_t seed) {
    const int paletteEntries = bits == 24 ? 0 : (bits == 8 ? 256 : 16);
    const int64_t stride = bits == 24 ? (3 * w + 3) & ~3 : bits == 8 ? (w + 3) & ~3 : ((w + 7) / 2) & ~3;
    Bytes b = {'B', 'M'};
    PutU32(b, static_cast<uint32_t>(54 + 4 * paletteEntries + stride * h));
    PutU32(b, 0);
    PutU32(b, static_cast<uint32_t>(54 + 4 * paletteEntries));
    PutU32(b, 40);
    PutU32(b, static_cast<uint32_t>(w));
    PutU32(b, static_cast<uint32_t>(h));
    PutU16(b, static_cast<uint16_t>(1));
    PutU16(b, static_cast<uint16_t>(static_cast<uint32_t>(bits)));
    for (int i = 0; i < 6; ++i) PutU32(b, 0);
    PutPattern(b, static_cast<size_t>(4 * paletteEntries), static_cast<uint8_t>(seed ^ 0x5A));
    PutPattern(b, static_cast<size_t>(stride * h), seed);
    return b;
}

Bytes MakeTga(int w, int h, int bits, uint8_t seed) {
    Bytes b = {0, 0, 2};
    PutU16(b, static_cast<uint16_t>(0));
    PutU16(b, static_cast<uint16_t>(0));
    b.push_back(0);
    PutU16(b, static_cast<uint16_t>(0));
    PutU16(b, static_cast<uint16_t>(0));
    PutU16(b, static_cast<uint16_t>(static_cast<uint32_t>(w)));
    PutU16(b, static_cast<uint16_t>(static_cast<uint32_t>(h)));
    b.push_back(static_cast<uint8_t>(bits));
    b.push_back(0);
    PutPattern(b, static_cast<size_t>(w * h * bits / 8), seed);
    return b;
}

Bytes MakeTim(int units, int h, bool eightBit, uint8_t seed) {
    Bytes b;
    PutU32(b, 0x10);
    PutU32(b, (eightBit ? 1u : 0u) | 8u);
    const int colours = eightBit ? 256 : 16;
    PutU32(b, static_cast<uint32_t>(12 + 2 * colours));
    PutU16(b, static_cast<uint16_t>(0));
    PutU16(b, static_cast<uint16_t>(480));
    PutU16(b, static_cast<uint16_t>(static_cast<uint32_t>(colours)));
    PutU16(b, static_cast<uint16_t>(1));
    PutPattern(b, static_cast<size_t>(2 * colours), static_cast<uint8_t>(seed ^ 0x33));
    PutU32(b, static_cast<uint32_t>(12 + 2 * units * h));
    PutU16(b, static_cast<uint16_t>(0));
    PutU16(b, static_cast<uint16_t>(0));
    PutU16(b, static_cast<uint16_t>(static_cast<uint32_t>(units)));
    PutU16(b, static_cast<uint16_t>(static_cast<uint32_t>(h)));
    PutPattern(b, static_cast<size_t>(2 * units * h), seed);
    return b;
}

// Writes texture file i (its name joins written); returns the name the scene gives it.
std::string MakeTexture(vorn_fuzz::ByteSource& in, int i, std::vector<std::string>& written) {
    const int kind = in.Int(0, 7);
    const int w = in.Int(1, 40);
    const int h = in.Int(1, 40);
    const uint8_t seed = in.Byte();
    const std::string stem = "tex" + std::to_string(i);
    Bytes bytes;
    std::string extension;
    switch (kind) {
        case 0: bytes = MakeBmp(w, h, 24, seed), extension = ".bmp"; break;
        case 1: bytes = MakeBmp(w, h, 8, seed), extension = ".bmp"; break;
        case 2: bytes = MakeBmp(w, h, 4, seed), extension = ".BMP"; break;
        case 3: bytes = MakeTga(w, h, 24, seed), extension = ".tga"; break;
        case 4: bytes = MakeTga(w, h, 32, seed), extension = ".TGA"; break;
        case 5: bytes = MakeTim((w + 3) / 4, h, seed & 1, seed), extension = ".tim"; break;
        case 6: {  // whatever the input holds, as a bitmap
            bytes = in.Take(in.Int(0, 96));
            extension = (seed & 1) ? ".bmp" : ".tga";
            break;
        }
        default: return "C:\\" + stem + ".bmp";  // named but missing
    }
    vorn_fuzz::WriteBytes(vorn_fuzz::ScratchFile(stem + extension), bytes.data(), bytes.size());
    written.push_back(stem + extension);
    return "C:\\" + stem + extension;
}

// Mostly small steps; now and then a value far out, to reach the limits.
float Coordinate(vorn_fuzz::ByteSource& in, float step) {
    const uint8_t pick = in.Byte();
    if (pick < 248) return static_cast<float>(static_cast<int>(pick % 64) - 24) * step;
    const float far[] = {1e9f, -1e9f, FLT_MAX, -FLT_MAX, 1e-30f, 0.0f, 40000.0f, -0.0f};
    return far[pick - 248];
}

void MakeMesh(vorn_fuzz::ByteSource& in, Mesh& m) {
    const int vertices = in.Int(0, kMaxVertices);
    for (int i = 0; i < vertices; ++i) {
        const float x = Coordinate(in, 1.0f), y = Coordinate(in, 1.0f), z = Coordinate(in, 1.0f);
        m.verts.emplace_back(x, y, z);
    }
    const int faces = in.Int(0, kMaxFaces);
    // One face in 256 may name a vertex the mesh lacks, as a broken host mesh would.
    const bool loose = in.Byte() == 0;
    const uint32_t top = static_cast<uint32_t>(std::max(vertices - 1 + (loose ? 1 : 0), 0));
    for (int f = 0; f < faces; ++f) {
        Face face;
        for (uint32_t& v : face.v) v = in.Int(0, top);
        face.setMatID(in.Int(0, 3));
        m.faces.push_back(face);
    }
    const int tverts = in.Int(0, kMaxVertices);
    for (int i = 0; i < tverts; ++i) {
        const float u = Coordinate(in, 1.0f / 32), v = Coordinate(in, 1.0f / 32);
        m.tVerts.emplace_back(u, v, 0.0f);
    }
    if (tverts > 0) {
        for (int f = 0; f < faces; ++f) {
            TVFace tf;
            for (uint32_t& t : tf.t) t = in.Int(0, static_cast<uint32_t>(tverts - 1));
            m.tvFace.push_back(tf);
        }
    }
}

struct FuzzScene {
    standin::Scene scene;
    std::vector<std::string> textureNames;  // as the materials name them
    std::vector<std::string> textureFiles;  // as written in the scratch folder
};

void MakeScene(vorn_fuzz::ByteSource& in, FuzzScene& s) {
    s.scene.SetTicksPerFrame(in.Int(1, 320));
    const int textures = in.Int(0, kMaxTextures);
    for (int i = 0; i < textures; ++i) s.textureNames.push_back(MakeTexture(in, i, s.textureFiles));

    const int materials = in.Int(1, kMaxMaterials);
    for (int i = 0; i < materials; ++i) s.scene.AddMaterial("m" + std::to_string(i));
    for (auto& material : s.scene.materials) {
        switch (in.Int(0, 4)) {
            case 0: break;  // no diffuse map
            case 1: material->diffuse = std::make_unique<standin::SceneOtherTexmap>(Class_ID(0x1234, 0)); break;
            case 2: {
                const int slots = in.Int(1, 3);
                for (int k = 0; k < slots; ++k) {
                    const int pick = in.Int(0, materials);
                    material->subMaterials.push_back(pick == materials ? nullptr : s.scene.materials[pick].get());
                }
                break;
            }
            default: {
                const int pick = in.Int(0, textures);
                const std::string name = pick < textures ? s.textureNames[pick] : "C:\\absent.tga";
                material->diffuse = std::make_unique<standin::SceneBitmapTex>(name);
            }
        }
    }

    const int nodes = in.Int(1, kMaxNodes);
    standin::SceneNode* parent = s.scene.root.get();
    for (int i = 0; i < nodes; ++i) {
        auto node = std::make_unique<standin::SceneNode>();
        node->name = "n" + std::to_string(i);
        const uint8_t traits = in.Byte();
        node->selected = (traits & 7) != 0;
        const int material = in.Int(0, materials);
        node->material = material < materials ? s.scene.materials[material].get() : nullptr;
        node->hasMesh = (traits & 0x18) != 0;
        node->convertible = (traits & 0x60) != 0;
        node->conversionCreates = (traits & 0x80) != 0;
        if (node->hasMesh) MakeMesh(in, node->mesh);
        const int keys = in.Int(0, 2);
        for (int k = 0; k < keys; ++k) {
            standin::TransformKey key;
            key.frame = in.Int(0, 12);
            for (int r = 0; r < 4; ++r) {
                const float step = r == 3 ? 4.0f : 1.0f / 16;
                key.rows.row[r] = Point3(Coordinate(in, step), Coordinate(in, step), Coordinate(in, step));
            }
            node->transformKeys.push_back(key);
        }
        std::sort(node->transformKeys.begin(), node->transformKeys.end(),
                  [](const standin::TransformKey& a, const standin::TransformKey& b) { return a.frame < b.frame; });
        // Now and then a child of the node before.
        standin::SceneNode* added = parent->AddChild(std::move(node));
        if (traits & 1) parent = added;
    }
    s.scene.SetTicksPerFrame(s.scene.ticksPerFrame);
}

struct Panel {
    int32_t start = 0, end = 0;
    uint32_t firstFrame = 0;
    float scale = 1.0f;
    bool saveBmp = true, savePcx = true;
    std::string skinName;      // as typed
    std::string skinStem;      // the file the skin writers form from it, without extension
    std::string saveAsAnswer;  // what the user picks in Save As
};

void MakePanel(vorn_fuzz::ByteSource& in, QuakeExportUtility& utility, Panel& p) {
    utility.frameCount = in.Int(1, kMaxFrames);
    for (int32_t i = 0; i < utility.frameCount; ++i) {
        std::snprintf(utility.frameNames[i], kFrameNameSize, "frame%d", static_cast<int>(i));
    }
    // The panel keeps start and end inside the list; an index outside it
    // reaches the driver only through a caller that skips the panel.
    p.start = in.Int(-1, utility.frameCount);
    p.end = p.start + in.Int(-1, 2);
    // Now and then a first frame just below the wrap of the host's time.
    p.firstFrame = static_cast<uint32_t>(in.Int(0, 24)) + (in.Byte() == 0 ? 0xFFFFFFF0u : 0u);
    p.scale = ParseScaleText(in.String(16).c_str());
    const uint8_t boxes = in.Byte();
    p.saveBmp = boxes & 1;
    p.savePcx = boxes & 2;
    // Skin names stay in the scratch folder: letters, digits and dots only,
    // now and then too long to take an extension.
    const std::string typed = in.String(12);
    std::string stem;
    for (char c : typed) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.') stem += c;
    }
    if (boxes & 4) stem += std::string(250, 'k');
    if (stem.empty() || stem[0] == '.') stem = "tris" + stem;
    p.skinName = "C:\\" + stem;
    p.skinStem = stem.substr(0, stem.find('.'));
    const char* answers[] = {"C:\\model.md2", "C:\\model", "C:\\model.old.md2", "C:\\model.MD2"};
    p.saveAsAnswer = answers[(boxes >> 3) & 3];
}

bool ReadScratch(const std::string& name, Bytes& out) { return vorn_fuzz::ReadBytes(vorn_fuzz::ScratchFile(name), out); }

// A PCX as the writer makes it: 8-bit, one plane, run-length rows, and the
// 256-colour palette at the end.
void CheckPcx(const Bytes& b, int32_t w, int32_t h) {
    Require(b.size() >= 128 + 769, "a PCX shorter than its header and palette");
    Require(b[0] == 10 && b[2] == 1 && b[3] == 8 && b[65] == 1, "a PCX header of another kind");
    const int32_t xmax = GetU16(b.data() + 8), ymax = GetU16(b.data() + 10);
    Require(GetU16(b.data() + 4) == 0 && GetU16(b.data() + 6) == 0 && xmax + 1 == w && ymax + 1 == h,
            "a PCX of another size than the skin");
    const size_t bytesPerLine = GetU16(b.data() + 66);
    Require(bytesPerLine >= static_cast<size_t>(w), "a PCX line shorter than the skin");
    const size_t end = b.size() - 769;
    Require(b[end] == 12, "a PCX without its palette marker");
    size_t at = 128;
    for (int32_t y = 0; y < h; ++y) {
        size_t got = 0;
        while (got < bytesPerLine) {
            Require(at < end, "PCX pixel data ends early");
            const uint8_t c = b[at++];
            if ((c & 0xC0) == 0xC0) {
                Require(at < end, "a PCX run without its value");
                ++at;
                got += c & 0x3F;
            } else {
                ++got;
            }
        }
        Require(got == bytesPerLine, "a PCX run crosses a line end");
    }
    Require(at == end, "bytes between the PCX pixels and its palette");
}

struct Snapshot {
    bool exists = false;
    Bytes bytes;
};

Snapshot TakeModel() {
    Snapshot s;
    s.exists = ReadScratch("model.md2", s.bytes);
    return s;
}

void CheckModel(const QuakeExportUtility& utility) {
    Bytes model;
    Require(ReadScratch("model.md2", model), "the model is missing");
    const md2check::Md2Report report = md2check::CheckMd2Model(model.data(), model.size());
    if (!report.Passed()) {
        std::string findings;
        for (const auto& f : report.findings) findings += "\n  " + f.where + ": " + f.message;
        vorn_fuzz::Fail("the written model is not well-formed", findings);
    }
    Require(report.header.numFrames == utility.frameCount, "the model's frame count is not the list's");
}

void RunOneExport(const FuzzScene& s, QuakeExportUtility& utility, const Panel& p) {
    const Snapshot before = TakeModel();
    standin::ResetWindowSystem();
    standin::QueueSaveAs(p.saveAsAnswer);
    char skinName[kTextBufferSize] = {};
    std::strncpy(skinName, p.skinName.c_str(), sizeof skinName - 1);

    const int result = utility.RunExport(skinName, p.saveBmp, p.savePcx, p.firstFrame, p.start, p.end, p.scale);

    Require(!utility.vertices && !utility.faces && !utility.textures && !utility.skinBuffer &&
                !utility.skinIndexBuffer && !utility.frameVertices && !utility.frameFaces,
            "an export kept a buffer");
    const auto& boxes = standin::Record().messageBoxes;
    std::set<std::string> allowed = {"model.md2", "tris.asc", p.skinStem + ".bmp", p.skinStem + ".pcx"};
    allowed.insert(s.textureFiles.begin(), s.textureFiles.end());
    for (const std::string& name : vorn_fuzz::ScratchFileNames()) {
        Require(allowed.count(name) == 1, "an export wrote a file it should not", name);
    }

    if (result) {
        Require(boxes.empty(), "a successful export showed a message");
        CheckModel(utility);
        Require(vorn_fuzz::FileExists(vorn_fuzz::ScratchFile("tris.asc")), "the mesh listing is missing");
        Bytes skin;
        if (p.saveBmp && ReadScratch(p.skinStem + ".bmp", skin)) {
            const uint64_t stride = static_cast<uint64_t>(QuakeExportUtility::SkinStride(utility.skinWidth));
            Require(skin.size() == 54 + stride * static_cast<uint64_t>(utility.skinHeight) &&
                        GetI32(skin.data() + 18) == utility.skinWidth && GetI32(skin.data() + 22) == utility.skinHeight,
                    "a BMP skin of another size than the page");
        }
        if (p.savePcx) {
            Require(ReadScratch(p.skinStem + ".pcx", skin), "a successful export without its PCX skin");
            CheckPcx(skin, utility.skinWidth, utility.skinHeight);
        }
        return;
    }
    Require(boxes.size() == 1, "a failed export did not show exactly one message");
    const auto* message = std::find_if(std::begin(kDriverMessages), std::end(kDriverMessages), [&](const auto& m) {
        return boxes[0].text == m.text && boxes[0].caption == m.caption;
    });
    if (message == std::end(kDriverMessages)) vorn_fuzz::Fail("a failure the driver does not have", boxes[0].text);
    if (message->afterModel) {
        CheckModel(utility);
    } else {
        const Snapshot after = TakeModel();
        Require(after.exists == before.exists && after.bytes == before.bytes,
                "an export that stopped before the model changed it");
    }
}

}  // namespace

std::string vorn_fuzz::CheckExportInput(const uint8_t* data, size_t size) {
    return Answer([&] {
        vorn_fuzz::ByteSource in(data, size);
        vorn_fuzz::ClearScratchFolder();
        FuzzScene s;
        MakeScene(in, s);
        standin::StandinHost host(&s.scene);
        QuakeExportUtility utility;
        utility.hostInterface = &host;
        Panel panel;
        MakePanel(in, utility, panel);
        const bool twice = in.Bool();
        RunOneExport(s, utility, panel);
        if (twice) {
            // The same scene again over the model just written: the update path.
            Panel again = panel;
            again.start = in.Int(0, utility.frameCount - 1);
            again.end = in.Int(again.start, utility.frameCount - 1);
            again.firstFrame = in.Int(0, 24);
            RunOneExport(s, utility, again);
        }
        standin::ResetWindowSystem();
        vorn_fuzz::ClearScratchFolder();
        return;
    });
}
