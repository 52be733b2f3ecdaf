// The skin page as the plug-in fills it, seen from the host's side: whether the
// rectangles the textures use fit the 480 x 480 page, and how far textures
// must shrink so that they do. The stand-in host stands below the plug-in, so
// the plug-in's placement rule is restated here (largest rectangle first, into
// the smallest free rectangle that holds it, one guillotine cut);
// tests/page_fit_test.cpp holds it to the plug-in's own code.
#pragma once

#include <string>
#include <vector>

namespace standin {

constexpr int kSkinPageSide = 480;

// A texture some exported face uses.
struct PageTexture {
    std::string name;  // the file name the material names: the plug-in orders its records by it
    std::string scaledName;  // the name once scaled (it is then written anew)
    int width = 0, height = 0;
    float uSpan = 0, vSpan = 0;  // the faces' largest minus smallest coordinate
    bool scalable = true;        // painted colours keep their size
};

// What the plug-in places of a texture of that size: trunc(size x span) in
// single precision, 0 for spans beyond measure.
int UsedSpan(int size, float span);

// Whether every texture's used rectangle finds room on the page, taken in the
// order and by the rule the plug-in takes them.
bool PagePacks(const std::vector<PageTexture>& textures);

// The sizes (width, height per texture) at which the page packs: the given
// ones when they do; else every scalable texture whose used rectangle has a
// side above one common bound is shrunk, keeping its proportions, until that
// side meets the bound, for the largest bound that packs. Empty when no bound does.
std::vector<std::pair<int, int>> FitToPage(const std::vector<PageTexture>& textures);

}  // namespace standin
