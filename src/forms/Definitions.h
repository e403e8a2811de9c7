#pragma once
// The program's two windows as they are when created, before any handler runs: every control
// with its kind, container, stacking place, caption, font, colours, geometry in twips, visibility
// and place in the keyboard order. Each front end builds its windows from these tables and from
// nothing else, so the two cannot drift apart.

#include "forms/Twips.h"

#include <optional>
#include <string_view>
#include <vector>

namespace forms {

enum class Kind {
    PictureBox,    // container with a window of its own, shows a picture at its top-left corner
    Frame,         // container, with or without a border carrying its caption
    Label,         // windowless text
    Image,         // windowless picture, stretched to its size
    TextBox,       // single line, editable
    ListBox,       // unsorted, one selected row
    CommandButton, // push button, never the window's default or cancel button
    ProgressBar,   // horizontal, numeric range and position
    DriveList,     // drop-down list of the machine's drives
    DirList,       // the folders along one path and those directly below it
};

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
inline constexpr Rgb Black{0, 0, 0};
inline constexpr Rgb Yellow{255, 255, 0};
inline constexpr Rgb Green{0, 255, 0};
inline constexpr Rgb Red{255, 0, 0};

// A face by name (the system substitutes one that exists), ANSI character set, never italic,
// underlined or struck out.
struct Font {
    const char* face = "MS Sans Serif";
    float points = 8.25f;
    bool bold = false;
    bool operator==(const Font&) const = default;
};

// Faces to use, in order, where the named face is not installed. Narrow faces first: the labels
// were sized for a face about as wide as these, and their captions wrap inside fixed boxes.
std::vector<const char*> StandInFaces(std::string_view face);

enum class Align { Left, Right, Centre };

struct Control {
    const char* name = "";
    int index = -1; // place in a control array; -1 for a single control
    Kind kind = Kind::Label;
    const char* container = ""; // the form's name for controls placed on the window itself
    const char* caption = "";   // caption or text; empty for none
    TwipsRect rect = {};        // from the inside top-left corner of the container
    int tabIndex = -1;          // -1: no place in the keyboard order
    bool visible = true;
    std::optional<Rgb> back =
        std::nullopt; // none: the system's colours for the kind (labels: transparent)
    std::optional<Rgb> fore = std::nullopt;
    std::optional<Font> font = std::nullopt; // none: the form's font
    Align align = Align::Left;
    bool border = true;  // frames: an ordinary frame border with the caption in it
    bool opaque = false; // labels: fill the box with the system's colours
};

struct Form {
    const char* name = "";
    const char* title = "";
    TwipsRect rect = {}; // width and height of the window; it has no border
    std::optional<Rgb> back = std::nullopt;
    Font font = {};
    // Within each container, front to back. Windowed controls lie in front of windowless ones
    // whatever their order; the order holds within each of those two layers.
    std::vector<Control> controls = {};
};

const Form& MainFormDefinition();
const Form& FindUnrealDefinition();

// Controls with a window of their own (the rest are drawn by their container).
bool Windowed(Kind kind);
// Controls that can take the keyboard focus (labels, frames, images and bars only hold places).
bool TakesFocus(Kind kind);
bool IsContainer(Kind kind);

// The control of that name (and index); nullptr when the form has none.
const Control* Find(const Form& form, std::string_view name, int index = -1);
// The children of a container, front to back: windowed ones first, then windowless ones.
std::vector<const Control*> Children(const Form& form, std::string_view container);
// The controls that take the focus, in keyboard order.
std::vector<const Control*> FocusOrder(const Form& form);

} // namespace forms
