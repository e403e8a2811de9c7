#include "forms/Definitions.h"

#include <algorithm>

namespace forms {

namespace {

constexpr Font CountFont{"MS Sans Serif", 9.75f, true};
constexpr Font ListFont{"MS Serif", 6.0f, false};
constexpr Font BigButtonFont{"MS Sans Serif", 18.0f, true};

Form MakeMainForm() {
    Form f;
    f.name = "MainForm";
    f.title = "Lodestow";
    f.rect = {0, 0, 8010, 4665};
    f.controls = {
        // On the window: the picture box in front, the catalogue frame behind it.
        {.name = "Picture1",
         .kind = Kind::PictureBox,
         .container = "MainForm",
         .rect = {0, 0, 7335, 4095},
         .tabIndex = 0},
        {.name = "AdvFrame",
         .kind = Kind::Frame,
         .container = "MainForm",
         .caption = "Advanced",
         .rect = {360, 1680, 1815, 855},
         .tabIndex = 1},

        // On the picture box, windowed.
        {.name = "EndProg",
         .kind = Kind::CommandButton,
         .container = "Picture1",
         .caption = "Exit",
         .rect = {3120, 2880, 1575, 375},
         .tabIndex = 21,
         .visible = false,
         .font = Font{"Myriad Roman", 12.0f, false}},
        {.name = "TranFrame",
         .kind = Kind::Frame,
         .container = "Picture1",
         .caption = "Frame1",
         .rect = {840, 1560, 5895, 1215},
         .tabIndex = 17,
         .visible = false,
         .back = Black,
         .border = false},
        {.name = "ExitProg",
         .kind = Kind::CommandButton,
         .container = "Picture1",
         .caption = "X",
         .rect = {7080, 0, 255, 255},
         .tabIndex = 16,
         .font = Font{"MS Sans Serif", 8.25f, true}},
        {.name = "Runit",
         .kind = Kind::CommandButton,
         .container = "Picture1",
         .caption = "Begin Transfer",
         .rect = {2880, 3720, 2535, 255},
         .tabIndex = 14},
        {.name = "OnesToTransfer",
         .kind = Kind::TextBox,
         .container = "Picture1",
         .caption = "Error",
         .rect = {4320, 240, 615, 375},
         .tabIndex = 12,
         .back = Black,
         .fore = Green,
         .font = CountFont},
        {.name = "NumFilesTxt",
         .kind = Kind::TextBox,
         .container = "Picture1",
         .caption = "Error",
         .rect = {1440, 240, 615, 375},
         .tabIndex = 10,
         .back = Black,
         .fore = Green,
         .font = CountFont},
        // On the picture box, windowless.
        {.name = "Image1", .kind = Kind::Image, .container = "Picture1", .rect = {0, 0, 495, 3735}},
        {.name = "NoFiles",
         .kind = Kind::Label,
         .container = "Picture1",
         .caption = "No Files available to transfer",
         .rect = {1320, 3240, 5175, 375},
         .tabIndex = 15,
         .visible = false,
         .fore = Yellow,
         .font = Font{"MS Sans Serif", 12.0f, true},
         .align = Align::Centre},
        {.name = "Label2",
         .kind = Kind::Label,
         .container = "Picture1",
         .caption = "Able to Transfer out of Cache",
         .rect = {2880, 240, 1215, 375},
         .tabIndex = 13,
         .fore = Yellow,
         .align = Align::Right},
        {.name = "Label1",
         .kind = Kind::Label,
         .container = "Picture1",
         .caption = "Files Found in Cache",
         .rect = {120, 240, 1215, 495},
         .tabIndex = 11,
         .fore = Yellow,
         .align = Align::Right},

        // The transfer status panel.
        {.name = "TranFrame1",
         .kind = Kind::Frame,
         .container = "TranFrame",
         .caption = "Transfer Status",
         .rect = {120, 120, 5655, 855},
         .tabIndex = 18,
         .back = Black,
         .fore = Yellow},
        {.name = "TranProg",
         .kind = Kind::ProgressBar,
         .container = "TranFrame1",
         .rect = {120, 480, 5415, 255},
         .tabIndex = 19},
        {.name = "ProgLbl",
         .kind = Kind::Label,
         .container = "TranFrame1",
         .caption = "Status",
         .rect = {360, 240, 4215, 255},
         .tabIndex = 20,
         .fore = Green},

        // The catalogue, never seen.
        {.name = "Copied",
         .kind = Kind::ListBox,
         .container = "AdvFrame",
         .rect = {6360, 960, 975, 2910},
         .tabIndex = 5,
         .font = ListFont},
        {.name = "DestinationList",
         .kind = Kind::ListBox,
         .container = "AdvFrame",
         .rect = {4680, 960, 1575, 2910},
         .tabIndex = 4,
         .font = ListFont},
        {.name = "CacheNameList",
         .kind = Kind::ListBox,
         .container = "AdvFrame",
         .rect = {2160, 960, 2415, 2910},
         .tabIndex = 3,
         .font = ListFont},
        {.name = "FileNameList",
         .kind = Kind::ListBox,
         .container = "AdvFrame",
         .rect = {240, 960, 1815, 2910},
         .tabIndex = 2,
         .font = ListFont},
    };
    // The headings overlap; the higher index lies in front.
    const char* headings[4] = {"File Name", "Cache Name", "Directory", "Copied"};
    const TwipsRect headingRects[4] = {{240, 720, 2415, 255},
                                       {2160, 720, 2415, 255},
                                       {4680, 720, 2415, 255},
                                       {6360, 720, 735, 255}};
    for (int i = 3; i >= 0; --i)
        f.controls.push_back({.name = "Label3",
                              .index = i,
                              .kind = Kind::Label,
                              .container = "AdvFrame",
                              .caption = headings[i],
                              .rect = headingRects[i],
                              .tabIndex = 6 + i,
                              .font = CountFont,
                              .opaque = true});
    return f;
}

Form MakeFindUnreal() {
    Form f;
    f.name = "FindUnreal";
    f.title = "Unreal Tourament Location Form";
    f.rect = {0, 0, 5460, 4275};
    f.back = Red;
    f.controls = {
        {.name = "Command3",
         .kind = Kind::CommandButton,
         .container = "FindUnreal",
         .caption = "X",
         .rect = {5040, 120, 255, 195},
         .tabIndex = 7},
        {.name = "Frame1",
         .kind = Kind::Frame,
         .container = "FindUnreal",
         .caption = "Frame1",
         .rect = {0, 360, 5655, 3975},
         .tabIndex = 0,
         .back = Black,
         .border = false},
        {.name = "Dir1",
         .kind = Kind::DirList,
         .container = "Frame1",
         .rect = {120, 840, 5175, 1890},
         .tabIndex = 5},
        {.name = "Drive1",
         .kind = Kind::DriveList,
         .container = "Frame1",
         .rect = {120, 480, 5175, 315},
         .tabIndex = 4},
        {.name = "ThePath",
         .kind = Kind::TextBox,
         .container = "Frame1",
         .caption = "Text1",
         .rect = {120, 2760, 5175, 375},
         .tabIndex = 3},
        {.name = "Command1",
         .kind = Kind::CommandButton,
         .container = "Frame1",
         .caption = "Enter",
         .rect = {3600, 3240, 1695, 495},
         .tabIndex = 2,
         .font = BigButtonFont},
        {.name = "Command2",
         .kind = Kind::CommandButton,
         .container = "Frame1",
         .caption = "Cancel",
         .rect = {1800, 3240, 1695, 495},
         .tabIndex = 1,
         .font = BigButtonFont},
        {.name = "Label1",
         .kind = Kind::Label,
         .container = "Frame1",
         .caption = "Locate the Unreal Tourament Directory",
         .rect = {120, 0, 5175, 495},
         .tabIndex = 6,
         .fore = Yellow,
         .font = Font{"MS Sans Serif", 13.5f, false}},
    };
    return f;
}

} // namespace

const Form& MainFormDefinition() {
    static const Form form = MakeMainForm();
    return form;
}

const Form& FindUnrealDefinition() {
    static const Form form = MakeFindUnreal();
    return form;
}

std::vector<const char*> StandInFaces(std::string_view face) {
    if (face == "MS Sans Serif")
        return {"DejaVu Sans Condensed", "Liberation Sans", "Arimo", "DejaVu Sans"};
    if (face == "MS Serif")
        return {"DejaVu Serif Condensed", "Liberation Serif", "Tinos", "DejaVu Serif"};
    if (face == "Myriad Roman")
        return {"Myriad Pro", "DejaVu Sans Condensed", "Liberation Sans", "DejaVu Sans"};
    return {};
}

bool Windowed(Kind kind) {
    return kind != Kind::Label && kind != Kind::Image;
}

bool TakesFocus(Kind kind) {
    switch (kind) {
    case Kind::Label:
    case Kind::Image:
    case Kind::Frame:
    case Kind::ProgressBar:
        return false;
    default:
        return true;
    }
}

bool IsContainer(Kind kind) {
    return kind == Kind::PictureBox || kind == Kind::Frame;
}

const Control* Find(const Form& form, std::string_view name, int index) {
    for (const Control& c : form.controls)
        if (name == c.name && c.index == index)
            return &c;
    return nullptr;
}

std::vector<const Control*> Children(const Form& form, std::string_view container) {
    std::vector<const Control*> children;
    for (bool windowed : {true, false})
        for (const Control& c : form.controls)
            if (container == c.container && Windowed(c.kind) == windowed)
                children.push_back(&c);
    return children;
}

std::vector<const Control*> FocusOrder(const Form& form) {
    std::vector<const Control*> order;
    for (const Control& c : form.controls)
        if (c.tabIndex >= 0 && TakesFocus(c.kind))
            order.push_back(&c);
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

} // namespace forms
