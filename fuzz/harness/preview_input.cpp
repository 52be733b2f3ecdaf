// md2info --preview's readers and renderer: the input's first four bytes
// give the model's length (high byte first), the model follows and the skin
// is the rest. A model that reads must index only what it holds, and then draws
// the first frames of its animations, with the skin when that reads too, into
// a small sheet of exactly the size asked for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/harness/fuzz_support.h"
#include "preview/contact_sheet.h"

namespace vorn_fuzz {

std::string CheckPreviewInput(const uint8_t* data, size_t size) {
    return Answer([&] {
        ByteSource source(data, size);
        const auto modelSize = static_cast<size_t>(source.Int(0, 1 << 24));
        const Bytes model = source.Take(std::min(modelSize, source.Remaining()));
        const Bytes skinBytes = source.Take(source.Remaining());

        preview::Md2Model m;
        preview::RgbImage skin;
        std::string error;
        const bool skinRead = preview::ReadSkin(skinBytes.data(), skinBytes.size(), skin, error);
        Require(!skinRead || skin.pixels.size() == 3 * static_cast<size_t>(skin.width) * skin.height,
                "a skin that reads holds its pixels");
        if (!preview::ReadMd2(model.data(), model.size(), m, error)) return;
        Require(!m.frames.empty() && m.st.size() % 2 == 0, "a model that reads has frames and whole coordinates");
        for (const preview::Md2Triangle& t : m.triangles)
            for (int k = 0; k < 3; ++k)
                Require(t.vertex[k] < m.vertexCount && 2u * t.st[k] < m.st.size(), "a triangle indexes what is there");

        preview::SheetOptions options;
        options.cell = preview::kMinCell;
        options.frames = preview::AnimationStarts(m);
        options.frames.resize(std::min<size_t>(options.frames.size(), 4));
        preview::RgbImage sheet;
        Require(preview::RenderSheet(m, skinRead ? &skin : nullptr, options, sheet, error), "the sheet is drawn",
                error);
        const int32_t columns = options.frames.size() == 1 ? 1 : 2;
        Require(sheet.pixels.size() == 3 * static_cast<size_t>(sheet.width) * sheet.height &&
                    sheet.width == columns * preview::kMinCell,
                "the sheet has the size asked for");
    });
}

}  // namespace vorn_fuzz
