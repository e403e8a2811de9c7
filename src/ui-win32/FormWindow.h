#pragma once
// A borderless top-level window built from a form definition. Controls with a window of their
// own become the matching system controls; containers (picture box, frames) become panels of our
// own class; windowless controls (labels, images) are drawn by their container, behind its
// windowed children, as the definition's stacking rule says.

#include "forms/Definitions.h"
#include "ui-win32/Win32.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace win32ui {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

class FormWindow {
public:
    explicit FormWindow(const forms::Form& form);
    virtual ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    bool Loaded() const { return hwnd_ != nullptr; }
    const forms::Form& Definition() const { return form_; }

    // The window of a windowed control (or container); nullptr for windowless ones.
    HWND Control(std::string_view name) const;

    // The window's dots per inch: a pixel is 1440 / Dpi() twips and a point Dpi() / 72 pixels.
    int Dpi() const { return dpi_; }
    int Px(float twips) const { return forms::TwipsToPixels(twips, dpi_); }
    // A new DPI (the window moved to another monitor, or the system's changed): every control,
    // font and picture is laid out again at it.
    void ApplyDpi(int dpi);

    // Geometry in twips, kept exactly as given and applied in pixels.
    forms::TwipsRect Rect(std::string_view name) const;
    void SetRect(std::string_view name, const forms::TwipsRect& r);
    forms::TwipsRect WindowRect() const { return windowRect_; }
    void SetWindowRect(const forms::TwipsRect& r);

    void SetVisible(std::string_view name, bool visible);
    bool Visible(std::string_view name) const;
    void SetCaption(std::string_view name, const std::string& text);
    std::string Caption(std::string_view name) const;

    // Makes every one of `samples` fit whole in text box `name` (its text area, margins off):
    // when the control's face is too wide for them, the box is given a TrueType face of the same
    // height, condensed as far as needed. Kept at every DPI.
    void FitCaptions(std::string_view name, std::vector<std::string> samples);

    // The picture a picture box shows at its top-left corner (it takes the picture's size, its
    // border included), or an image stretches over itself. The window takes ownership.
    void SetPicture(std::string_view name, HBITMAP picture);

    // Places the window in the middle of the screen and shows it, focus on the first control of
    // the keyboard order that can take it.
    void CentreAndShow();
    // Moves the focus along the keyboard order (back with shift), skipping hidden and disabled
    // controls.
    void FocusNext(bool backwards);
    // The control that holds the focus (a drop-down list counts for its own edit part).
    const forms::Control* Focused() const;

    void Destroy();

    // Busy pointer over every window of the program while set.
    static void SetBusy(bool busy);
    static bool Busy();

    static FormWindow* FromHandle(HWND hwnd);

protected:
    // A notification from a windowed control (WM_COMMAND code).
    virtual void OnCommand(const forms::Control& control, int code) {
        (void)control;
        (void)code;
    }
    // The mouse moved over the own surface of the window or of a container (not over one of the
    // controls on it); `buttons` is the state 1 left, 2 right, 4 middle, summed.
    virtual void OnSurfaceMouseMove(std::string_view container, int buttons) {
        (void)container;
        (void)buttons;
    }
    // Owner-drawn list rows.
    virtual void OnDrawItem(const forms::Control& control, const DRAWITEMSTRUCT& item) {
        (void)control;
        (void)item;
    }
    // Return (or the keypad's Enter) while a control that is not a button holds the focus.
    virtual void OnReturnKey(const forms::Control& control) { (void)control; }
    // The system asks the window to close (window manager, Alt+F4). Default: destroy it, unless
    // it is disabled.
    virtual void OnCloseRequest();
    // The window is gone (its controls with it).
    virtual void OnDestroyed() {}

    HFONT FontFor(const forms::Control& control);
    // The font a control's caption is drawn in: a label's is made smaller where its words would
    // not fit otherwise.
    HFONT CaptionFont(std::string_view name);

private:
    struct Item {
        const forms::Control* def = nullptr;
        HWND hwnd = nullptr;
        forms::TwipsRect rect;
        std::string caption;
        bool visible = true;
        HBITMAP picture = nullptr;
    };

    friend LRESULT CALLBACK FormProc(HWND, UINT, WPARAM, LPARAM);
    friend bool RouteKey(MSG& msg);
    LRESULT Handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void CreateChildren(HWND parent, std::string_view container);
    HWND CreateControl(HWND parent, Item& item, int id);
    Item* Find(std::string_view name);
    const Item* Find(std::string_view name) const;
    Item* FindByHandle(HWND hwnd);
    HWND ParentOf(const Item& item) const;
    RECT PixelRect(const forms::TwipsRect& r) const;
    void Paint(HWND hwnd);
    void PaintWindowless(HDC dc, std::string_view container);
    HBRUSH Brush(const forms::Rgb& colour);
    HFONT SizedFont(const forms::Control& control, int height);
    HFONT LabelFont(HDC dc, const forms::Control& control, const std::wstring& text, int width,
                    int height);
    LRESULT ControlColour(HDC dc, HWND control);
    std::string ContainerName(HWND hwnd) const;
    void InvalidateItem(const Item& item);

    const forms::Form& form_;
    HWND hwnd_ = nullptr;
    forms::TwipsRect windowRect_;
    std::vector<Item> items_;
    std::map<std::pair<std::string, int>, HFONT> fonts_;
    std::map<COLORREF, HBRUSH> brushes_;
    // Text boxes whose captions must fit: their samples and the font made for them.
    struct Fitted {
        std::vector<std::string> samples;
        HFONT font = nullptr;
    };
    std::map<std::string, Fitted, std::less<>> fitted_;
    void Fit(std::string_view name, Fitted& fit);
    int dpi_ = forms::BaseDpi;
};

// The DPI a window is shown at: its monitor's for a program that declares itself aware of
// monitors (Windows 10 and later), else the system's.
int WindowDpi(HWND hwnd);

// The message loop's keyboard: Tab and Shift+Tab follow the keyboard order, Return presses the
// focused button (a window has no default button). True when the key was used.
bool RouteKey(MSG& msg);

} // namespace win32ui
