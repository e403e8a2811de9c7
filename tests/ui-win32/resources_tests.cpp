// What Windows reads from lodestow.exe before and beside running it: the manifest (run as the user,
// the versions of Windows it knows) and the version shown in Explorer's properties.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Resource(HMODULE module, int type) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(type));
    if (!found)
        return {};
    const void* data = ::LockResource(::LoadResource(module, found));
    return data ? std::string(static_cast<const char*>(data), ::SizeofResource(module, found))
                : std::string();
}

std::string Utf16(const char* text) {
    std::string wide;
    for (; *text; ++text)
        wide += std::string{*text, '\0'};
    return wide;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

} // namespace

TEST(Resources, ManifestAndVersionAreBuiltIntoTheProgram) {
    HMODULE exe = ::LoadLibraryExW(L"lodestow.exe", nullptr,
                                   LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr) << "lodestow.exe is not beside the tests";
    const std::string manifest = Resource(exe, 24);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_EQ(Count(manifest, "<supportedOS "), 4u) << manifest;
    EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos); // 7
    EXPECT_EQ(manifest.find("Common-Controls"), std::string::npos); // the classic look stays
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos);
    const std::string version = Resource(exe, 16);
    for (const char* part : {"FileDescription", "ProductName", "Lodestow", "OriginalFilename",
                             "lodestow.exe", "FileVersion"})
        EXPECT_NE(version.find(Utf16(part)), std::string::npos) << part;
    ::FreeLibrary(exe);
}
