#include "forms/MainLayout.h"

namespace forms {

MainLayoutValues LayOutMainForm(MainLayoutValues v, float picture1Width, float picture1Height) {
    // The window has no border, so its outer size is the picture box's size.
    v.window.height = picture1Height;
    v.window.width = picture1Width;

    // W and H are read afresh by every step, as each would read the window's properties.
    const auto W = [&v] { return v.window.width; };
    const auto H = [&v] { return v.window.height; };

    v.tranFrame.left = W() / 2 - v.tranFrame.width / 2;
    v.tranFrame.top = H() / 2 - v.tranFrame.height / 2;
    v.runit.left = W() / 2 - v.runit.width / 2;
    v.runit.top = H() - v.runit.height - 250;
    v.noFiles.left = W() / 2 - v.noFiles.width / 2;
    v.noFiles.top = H() - v.runit.height - v.noFiles.height - 800;
    v.onesToTransfer.left = W() - v.onesToTransfer.width - 500;
    v.label2.left = v.onesToTransfer.left - v.label2.width - 250;
    v.label1.left = v.image1.width + 100;
    v.numFilesTxt.left = 2 * v.numFilesTxt.width + v.label1.left + 125;
    v.exitProg.left = W() - v.exitProg.width - 75;
    v.exitProg.top = 0;
    v.image1.height = H();
    v.endProg.left = W() / 2 - v.endProg.width / 2;
    return v;
}

} // namespace forms
