#include "standin/host/texture_cache.h"

#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <filesystem>

#include <stb/stb_image.h>
#include <stb/stb_image_resize.h>

namespace fs = std::filesystem;

namespace standin {

std::string SizeProblem(int64_t width, int64_t height) {
    if (width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
        width * height <= kMaxPicturePixels)
        return "";
    return "picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels: pictures are taken up to " +
           std::to_string(kMaxPictureSide) + " pixels a side and " + std::to_string(kMaxPicturePixels >> 20) +
           " M pixels";
}

bool PictureSize(const uint8_t* data, size_t size, int& width, int& height, std::string& problem) {
    int channels = 0;
    if (size > static_cast<size_t>(INT_MAX) ||
        !stbi_info_from_memory(data, static_cast<int>(size), &width, &height, &channels)) {
        problem = std::string("cannot decode the picture (") +
                  (size > static_cast<size_t>(INT_MAX) ? "larger than 2 GB" : stbi_failure_reason()) + ")";
        return false;
    }
    // stb states a top-down BMP's height as the file does, below 0.
    if (height < 0 && height != INT_MIN) height = -height;
    problem = SizeProblem(width, height);
    return problem.empty();
}

bool DecodePicture(const uint8_t* data, size_t size, Picture& picture, std::string& problem) {
    if (!PictureSize(data, size, picture.width, picture.height, problem)) return false;
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(data, static_cast<int>(size), &w, &h, &channels, 4);
    if (!pixels) {
        problem = std::string("cannot decode the picture (") + stbi_failure_reason() + ")";
        return false;
    }
    // The header and the decoder agree unless the file lies; the decoder's size is the one the pixels have.
    picture.width = w;
    picture.height = h;
    picture.alpha = channels == 2 || channels == 4;
    picture.rgba.assign(pixels, pixels + static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
    stbi_image_free(pixels);
    return true;
}

Picture ShrinkPicture(const Picture& picture, int width, int height) {
    Picture out;
    out.width = width;
    out.height = height;
    out.alpha = picture.alpha;
    out.rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    // The box filter averages the area each new pixel covers when shrinking.
    stbir_resize_uint8_generic(picture.rgba.data(), picture.width, picture.height, 0, out.rgba.data(), width, height,
                               0, 4, 3, 0, STBIR_EDGE_CLAMP, STBIR_FILTER_BOX, STBIR_COLORSPACE_LINEAR, nullptr);
    return out;
}

Picture PlainPicture(int width, int height, const uint8_t rgb[3]) {
    Picture p;
    p.width = width;
    p.height = height;
    for (int i = 0; i < width * height; ++i) p.rgba.insert(p.rgba.end(), {rgb[0], rgb[1], rgb[2], 255});
    return p;
}

std::string SafeStem(const std::string& name) {
    const size_t slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    const size_t dot = base.rfind('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    // A dot would also let the exporter take a ".bmp" inside the name for the extension.
    for (char& c : base)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    if (base.size() > 64) base.resize(64);
    return base.empty() ? "texture" : base;
}

std::string TextureCache::Reserve(const std::string& stem) {
    std::string candidate = stem;
    for (int n = 2; names_.count(candidate); ++n) candidate = stem + "-" + std::to_string(n);
    names_.insert(candidate);
    return (fs::path(folder_) / (candidate + ".tga")).string();
}

bool TextureCache::Write(const std::string& path, const Picture& p, std::string& problem) {
    if (p.width <= 0 || p.height <= 0 || p.width > 65535 || p.height > 65535) {
        problem = "picture too large for a TGA file";
        return false;
    }
    const size_t bpp = p.alpha ? 4 : 3;
    const int64_t bytes = 18 + static_cast<int64_t>(bpp) * p.width * p.height;
    if (written_ + bytes > kMaxCacheBytes) {
        problem = "the texture cache takes at most " + std::to_string(kMaxCacheBytes >> 20) + " MB for one scene";
        return false;
    }
    std::error_code ec;
    fs::create_directories(folder_, ec);
    const std::string temporary = path + ".part";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) {
        problem = "cannot write \"" + path + "\"";
        return false;
    }
    const uint8_t head[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              static_cast<uint8_t>(p.width & 0xFF), static_cast<uint8_t>(p.width >> 8),
                              static_cast<uint8_t>(p.height & 0xFF), static_cast<uint8_t>(p.height >> 8),
                              static_cast<uint8_t>(8 * bpp), static_cast<uint8_t>(p.alpha ? 8 : 0)};
    bool ok = std::fwrite(head, 1, sizeof head, out) == sizeof head;
    std::vector<uint8_t> row(static_cast<size_t>(p.width) * bpp);
    for (int y = p.height - 1; y >= 0 && ok; --y) {
        const uint8_t* src = p.rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(p.width) * 4;
        uint8_t* dst = row.data();
        for (int x = 0; x < p.width; ++x, src += 4) {
            *dst++ = src[2];
            *dst++ = src[1];
            *dst++ = src[0];
            if (p.alpha) *dst++ = src[3];
        }
        ok = std::fwrite(row.data(), 1, row.size(), out) == row.size();
    }
    ok = std::fflush(out) == 0 && ok;
    ok = fsync(fileno(out)) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        problem = "cannot write \"" + path + "\"";
        return false;
    }
    written_ += bytes;
    return true;
}

}  // namespace standin
