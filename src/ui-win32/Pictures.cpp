#include "ui-win32/Pictures.h"

#include <initializer_list>

namespace win32ui {

namespace {

constexpr COLORREF Outline = RGB(96, 72, 0);
constexpr COLORREF FolderBack = RGB(232, 192, 72);
constexpr COLORREF FolderFront = RGB(255, 224, 128);
constexpr COLORREF Metal = RGB(192, 192, 192);
constexpr COLORREF Dark = RGB(64, 64, 64);

// Fills and outlines a polygon in the given colours; the DC's pen and brush are put back.
void Shape(HDC dc, std::initializer_list<POINT> points, COLORREF fill, COLORREF line) {
    HPEN pen = ::CreatePen(PS_SOLID, 1, line);
    HBRUSH brush = ::CreateSolidBrush(fill);
    HGDIOBJ oldPen = ::SelectObject(dc, pen);
    HGDIOBJ oldBrush = ::SelectObject(dc, brush);
    ::Polygon(dc, points.begin(), int(points.size()));
    ::SelectObject(dc, oldPen);
    ::SelectObject(dc, oldBrush);
    ::DeleteObject(pen);
    ::DeleteObject(brush);
}

void Box(HDC dc, int left, int top, int right, int bottom, COLORREF fill, COLORREF line) {
    Shape(dc, {{left, top}, {right, top}, {right, bottom}, {left, bottom}}, fill, line);
}

// Draws in the picture's own 96 dpi pixels from (0, 0): the world transform scales and places
// them, and is put back when the picture is done.
class PictureSpace {
public:
    PictureSpace(HDC dc, int x, int y, int dpi) : dc_(dc) {
        mode_ = ::SetGraphicsMode(dc, GM_ADVANCED);
        ::GetWorldTransform(dc, &saved_);
        const float scale = float(dpi) / 96.0f;
        const XFORM place{scale, 0, 0, scale, float(x), float(y)};
        ::SetWorldTransform(dc, &place);
    }
    ~PictureSpace() {
        ::SetWorldTransform(dc_, &saved_);
        ::SetGraphicsMode(dc_, mode_);
    }
    PictureSpace(const PictureSpace&) = delete;
    PictureSpace& operator=(const PictureSpace&) = delete;

private:
    HDC dc_;
    int mode_ = GM_COMPATIBLE;
    XFORM saved_{1, 0, 0, 1, 0, 0};
};

} // namespace

void DrawFolderPicture(HDC dc, int left, int top, bool open, int dpi) {
    const PictureSpace space(dc, left, top, dpi);
    const int x = 0, y = 0;
    // The tab, then the back of the folder; an open folder's front leans back from its foot.
    Shape(dc, {{x, y + 1}, {x + 1, y}, {x + 5, y}, {x + 6, y + 2}, {x, y + 2}}, FolderBack,
          Outline);
    Box(dc, x, y + 2, x + 14, y + 12, FolderBack, Outline);
    if (open)
        Shape(dc, {{x + 3, y + 5}, {x + 16, y + 5}, {x + 13, y + 12}, {x, y + 12}}, FolderFront,
              Outline);
    else
        Box(dc, x, y + 4, x + 14, y + 12, FolderFront, Outline);
}

void DrawDrivePicture(HDC dc, int left, int top, platform::DriveType type, int dpi) {
    const PictureSpace space(dc, left, top, dpi);
    const int x = 0, y = 0;
    switch (type) {
    case platform::DriveType::Optical: {
        // A disc with its hole.
        HPEN pen = ::CreatePen(PS_SOLID, 1, Dark);
        HBRUSH brush = ::CreateSolidBrush(RGB(208, 216, 232));
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(dc, brush);
        ::Ellipse(dc, x + 1, y, x + 14, y + 13);
        ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
        ::Ellipse(dc, x + 5, y + 4, x + 10, y + 9);
        ::SelectObject(dc, oldPen);
        ::SelectObject(dc, oldBrush);
        ::DeleteObject(pen);
        ::DeleteObject(brush);
        return;
    }
    case platform::DriveType::Removable:
        // A slot across a flat box.
        Box(dc, x, y + 3, x + 15, y + 11, Metal, Dark);
        Box(dc, x + 3, y + 6, x + 12, y + 8, Dark, Dark);
        return;
    case platform::DriveType::Network:
        // A drive on a cable.
        Box(dc, x, y, x + 15, y + 7, Metal, Dark);
        Box(dc, x + 7, y + 7, x + 8, y + 11, Dark, Dark);
        Box(dc, x + 2, y + 11, x + 13, y + 12, Dark, Dark);
        return;
    case platform::DriveType::Ram:
        // A chip with its pins.
        Box(dc, x + 2, y + 3, x + 13, y + 10, Dark, Dark);
        for (int pin = x + 3; pin < x + 13; pin += 3) {
            Box(dc, pin, y + 1, pin + 1, y + 3, Metal, Metal);
            Box(dc, pin, y + 10, pin + 1, y + 12, Metal, Metal);
        }
        return;
    case platform::DriveType::Fixed:
    case platform::DriveType::Unknown:
        break;
    }
    // A hard disk: a box with its light.
    Box(dc, x, y + 3, x + 15, y + 11, Metal, Dark);
    Box(dc, x + 11, y + 7, x + 13, y + 9, RGB(0, 192, 0), RGB(0, 128, 0));
}

} // namespace win32ui
