#include "ui-win32/Windows.h"

#include "ui-win32/EntriesWindow.h"
#include "ui-win32/FindUnreal.h"
#include "ui-win32/MainForm.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace win32ui {

namespace {

// Every loaded window, and those whose system window is gone but whose handler may still be on
// the stack: they are deleted only at the top of the message loop.
struct Registry {
    std::vector<std::unique_ptr<FormWindow>> loaded;
    std::vector<std::unique_ptr<FormWindow>> gone;
    MainForm* mainForm = nullptr;
};

Registry& Windows() {
    static Registry registry;
    return registry;
}

void Retire(FormWindow* window) {
    auto& r = Windows();
    const auto it = std::find_if(r.loaded.begin(), r.loaded.end(),
                                 [window](const auto& w) { return w.get() == window; });
    if (it == r.loaded.end())
        return;
    r.gone.push_back(std::move(*it));
    r.loaded.erase(it);
}

void Dispatch(MSG& msg) {
    if (EntriesWindow::PreTranslate(msg) || MainForm::PreTranslate(msg) || RouteKey(msg))
        return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

} // namespace

void LoadMainForm() {
    auto& r = Windows();
    auto owned = std::make_unique<MainForm>();
    MainForm* form = owned.get();
    r.loaded.push_back(std::move(owned));
    r.mainForm = form;
    if (!form->Loaded())
        return;
    if (!form->Form_Load())
        return; // the location window took over and has closed this one
    if (r.mainForm != form || !form->Loaded())
        return;
    form->CentreAndShow();
    if (const std::string notice = UnrealMOD::StartupNotice(); !notice.empty())
        form->ShowProblem(notice);
}

void CloseMainForm() {
    if (MainForm* form = Windows().mainForm)
        form->Destroy();
}

void LoadFindUnreal() {
    auto& r = Windows();
    auto owned = std::make_unique<FindUnreal>();
    FindUnreal* window = owned.get();
    r.loaded.push_back(std::move(owned));
    if (!window->Loaded())
        return;
    window->Form_Load();
    if (window->Loaded())
        window->CentreAndShow();
}

void MainFormGone(MainForm* form) {
    if (Windows().mainForm == form)
        Windows().mainForm = nullptr;
    Retire(form);
}

void LocationWindowGone(FindUnreal* window) {
    Retire(window);
}

void ProcessPendingMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(int(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

int RunMessageLoop() {
    auto& r = Windows();
    r.gone.clear();
    while (!r.loaded.empty()) {
        MSG msg;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0)
            break;
        Dispatch(msg);
        // Back at the top: no handler of a window that is gone can still be running.
        r.gone.clear();
    }
    r.gone.clear();
    r.loaded.clear();
    return 0;
}

} // namespace win32ui
