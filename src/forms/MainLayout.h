#pragma once
// The main window's layout around the logo, as plain arithmetic on twips: the window takes the
// picture box's size, then ten controls are placed for that size. Every value is a
// single-precision float, read afresh at each step and never snapped, so half twips survive.

#include "forms/Twips.h"

namespace forms {

// The geometry the layout reads and writes. `window` uses width and height only.
struct MainLayoutValues {
    TwipsRect window;
    TwipsRect tranFrame;
    TwipsRect runit;
    TwipsRect noFiles;
    TwipsRect onesToTransfer;
    TwipsRect label2;
    TwipsRect label1;
    TwipsRect numFilesTxt;
    TwipsRect exitProg;
    TwipsRect image1;
    TwipsRect endProg;
    bool operator==(const MainLayoutValues&) const = default;
};

// Sizes the window to the picture box and places the controls, in order; each placement sees the
// results of the ones before it.
MainLayoutValues LayOutMainForm(MainLayoutValues v, float picture1Width, float picture1Height);

} // namespace forms
