// Painting in the stand-in window system: paint cycles, memory device
// contexts and module bitmaps. Nothing is drawn; every call is recorded.
#include <cstring>

#include "standin/windows/window_state.h"

namespace standin::detail {

namespace {

constexpr uintptr_t kDCBase = 0x20000000;
constexpr uintptr_t kObjectBase = 0x30000000;
constexpr uintptr_t kHandleStep = 0x10;

DeviceContext* FindDC(HDC dc) {
    auto& dcs = Global().dcs;
    auto it = dcs.find(dc);
    return (it != dcs.end() && it->second.alive) ? &it->second : nullptr;
}

GdiObject* FindObject(HGDIOBJ object) {
    auto& objects = Global().objects;
    auto it = objects.find(object);
    return (it != objects.end() && it->second.alive) ? &it->second : nullptr;
}

HDC NewDC(DeviceContext dc) {
    State& s = Global();
    const HDC handle = reinterpret_cast<HDC>(kDCBase + kHandleStep * ++s.nextDC);
    s.dcs[handle] = dc;
    return handle;
}

HGDIOBJ NewObject(GdiObject object) {
    State& s = Global();
    const HGDIOBJ handle = reinterpret_cast<HGDIOBJ>(kObjectBase + kHandleStep * ++s.nextObject);
    s.objects[handle] = object;
    return handle;
}

// The 1 x 1 bitmap every new memory DC starts with.
HGDIOBJ StockBitmap() {
    State& s = Global();
    if (s.stockBitmap == nullptr) {
        GdiObject stock;
        stock.kind = GdiKind::StockBitmap;
        s.stockBitmap = NewObject(stock);
    }
    return s.stockBitmap;
}

uint32_t Le32(const BYTE* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

}  // namespace standin::detail

namespace standin {

RECT ClientPixels(HWND window) {
    RECT r;
    if (detail::Window* w = detail::Find(window)) {
        r.right = w->width * 6 / 4;
        r.bottom = w->height * 13 / 8;
    }
    return r;
}

}  // namespace standin

using namespace standin::detail;

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    if (Find(window) == nullptr || paint == nullptr) {
        Note("BeginPaint: no window " + HandleText(window));
        return nullptr;
    }
    State& s = Global();
    DeviceContext dc;
    dc.kind = DCKind::Paint;
    dc.window = window;
    dc.recordIndex = s.record.paints.size();
    const HDC handle = NewDC(dc);
    s.record.paints.push_back({window, handle, false});
    *paint = PAINTSTRUCT{};
    paint->hdc = handle;
    paint->fErase = TRUE;
    paint->rcPaint = standin::ClientPixels(window);
    return handle;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
    DeviceContext* dc = paint ? FindDC(paint->hdc) : nullptr;
    if (dc == nullptr || dc->kind != DCKind::Paint || dc->window != window) {
        Note("EndPaint without a matching BeginPaint for window " + HandleText(window));
        return TRUE;
    }
    dc->alive = false;
    Global().record.paints[dc->recordIndex].ended = true;
    return TRUE;
}

HDC CreateCompatibleDC(HDC like) {
    if (like != nullptr && FindDC(like) == nullptr) {
        Note("CreateCompatibleDC: no device context " + HandleText(like));
        return nullptr;
    }
    State& s = Global();
    DeviceContext dc;
    dc.kind = DCKind::Memory;
    dc.selected = StockBitmap();
    dc.recordIndex = s.record.memoryDCs.size();
    const HDC handle = NewDC(dc);
    s.record.memoryDCs.push_back({handle, like, false, nullptr, false});
    return handle;
}

BOOL DeleteDC(HDC handle) {
    DeviceContext* dc = FindDC(handle);
    if (dc == nullptr || dc->kind != DCKind::Memory) {
        Note("DeleteDC: no memory device context " + HandleText(handle));
        return FALSE;
    }
    State& s = Global();
    standin::MemoryDC& record = s.record.memoryDCs[dc->recordIndex];
    record.deleted = true;
    record.selectedWhenDeleted = dc->selected;
    record.stockSelectedWhenDeleted = dc->selected == s.stockBitmap;
    if (GdiObject* selected = FindObject(dc->selected)) {
        if (selected->kind == GdiKind::Bitmap) selected->selectedInto = nullptr;
    }
    dc->alive = false;
    return TRUE;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    DeviceContext* dc = FindDC(handle);
    GdiObject* o = FindObject(object);
    if (dc == nullptr || o == nullptr) {
        Note("SelectObject: no device context " + HandleText(handle) + " or object " + HandleText(object));
        return nullptr;
    }
    // Bitmaps go only into memory DCs, and into one at a time.
    if (dc->kind != DCKind::Memory || (o->kind == GdiKind::Bitmap && o->selectedInto && o->selectedInto != handle)) {
        Note("SelectObject: bitmap " + HandleText(object) + " cannot be selected into " + HandleText(handle));
        return nullptr;
    }
    const HGDIOBJ previous = dc->selected;
    if (GdiObject* old = FindObject(previous)) {
        if (old->kind == GdiKind::Bitmap) old->selectedInto = nullptr;
    }
    if (o->kind == GdiKind::Bitmap) o->selectedInto = handle;
    dc->selected = object;
    Global().record.selects.push_back({handle, object, previous});
    return previous;
}

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
    DeviceContext* d = FindDC(dst);
    DeviceContext* s = FindDC(src);
    if (d == nullptr || s == nullptr) {
        Note("BitBlt: no device context " + HandleText(d ? src : dst));
        return FALSE;
    }
    standin::BlitCall call;
    call.destination = dst;
    call.destinationWindow = d->kind == DCKind::Paint ? d->window : nullptr;
    call.x = x;
    call.y = y;
    call.width = width;
    call.height = height;
    call.source = src;
    call.sourceBitmap = s->selected;
    if (GdiObject* bitmap = FindObject(s->selected)) {
        call.sourceBitmapWidth = bitmap->width;
        call.sourceBitmapHeight = bitmap->height;
    }
    call.sourceX = srcX;
    call.sourceY = srcY;
    call.rop = rop;
    Global().record.blits.push_back(call);
    return TRUE;
}

HBITMAP LoadBitmapA(HINSTANCE module, LPCSTR name) {
    const BitmapResource* resource = FindBitmapResource(module, name);
    const std::string id = IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<uintptr_t>(name)) : "(by name)";
    if (resource == nullptr) {
        Note("bitmap " + id + " not found in module " + HandleText(module));
        return nullptr;
    }
    // A .bmp file: 14-byte file header, then an info header of at least 40 bytes.
    const BYTE* b = resource->bytes;
    if (resource->size < 54 || b[0] != 'B' || b[1] != 'M' || Le32(b + 14) < 40) {
        Note("bitmap " + id + " of module " + HandleText(module) + " is not a BMP file");
        return nullptr;
    }
    const auto width = static_cast<int32_t>(Le32(b + 18));
    const auto height = static_cast<int32_t>(Le32(b + 22));
    const int bits = b[28] | b[29] << 8;
    State& s = Global();
    GdiObject bitmap;
    bitmap.kind = GdiKind::Bitmap;
    bitmap.width = width;
    bitmap.height = height < 0 ? -height : height;
    bitmap.recordIndex = s.record.bitmaps.size();
    const HGDIOBJ handle = NewObject(bitmap);
    s.record.bitmaps.push_back({handle, module, resource->id, bitmap.width, bitmap.height, bits, false});
    return handle;
}

BOOL DeleteObject(HGDIOBJ object) {
    GdiObject* o = FindObject(object);
    if (o == nullptr) {
        Note("DeleteObject: no object " + HandleText(object));
        return FALSE;
    }
    if (o->kind == GdiKind::StockBitmap) return TRUE;  // stock objects ignore it
    if (o->selectedInto != nullptr) {
        Note("DeleteObject: bitmap " + HandleText(object) + " is still selected into " + HandleText(o->selectedInto));
        return FALSE;
    }
    o->alive = false;
    Global().record.bitmaps[o->recordIndex].deleted = true;
    return TRUE;
}
