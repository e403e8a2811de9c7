// Where the system records installed programs: the registry on Windows (run under Wine here).

#include "platform/Places.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/win32/Wide.h"

namespace {

constexpr const wchar_t* TestKey = L"Software\\Lodestow Test\\Installed Apps\\UnrealTournament";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Lodestow Test"); }
    static void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
        ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, TestKey, name, type, data, bytes),
                  ERROR_SUCCESS);
    }
    static void SetText(const wchar_t* name, DWORD type, const std::wstring& text) {
        Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
};

TEST_F(RegistryTest, TextValuesAreReadAndEverythingElseIsNone) {
    const std::string key = "HKEY_CURRENT_USER\\Software\\Lodestow Test\\Installed Apps\\"
                            "UnrealTournament";
    SetText(L"Folder", REG_SZ, L"C:\\Games\\Unreal Tourn\u00E9e");
    SetText(L"Expanded", REG_EXPAND_SZ, L"%SystemRoot%\\UT");
    SetText(L"Empty", REG_SZ, L"");
    const DWORD number = 7;
    Set(L"Number", REG_DWORD, &number, sizeof number);

    EXPECT_EQ(platform::RegistryString(key, "Folder"), "C:\\Games\\Unreal Tourn\xC3\xA9"
                                                       "e");
    EXPECT_EQ(platform::RegistryString("HKCU\\Software\\Lodestow Test\\Installed Apps\\"
                                       "UnrealTournament",
                                       "folder"),
              "C:\\Games\\Unreal Tourn\xC3\xA9"
              "e");
    const auto expanded = platform::RegistryString(key, "Expanded");
    ASSERT_TRUE(expanded);
    EXPECT_TRUE(expanded->ends_with("\\UT"));
    EXPECT_EQ(expanded->find('%'), std::string::npos) << *expanded;
    EXPECT_EQ(platform::RegistryString(key, "Empty"), std::nullopt);
    EXPECT_EQ(platform::RegistryString(key, "Number"), std::nullopt);
    EXPECT_EQ(platform::RegistryString(key, "Missing"), std::nullopt);
    EXPECT_EQ(platform::RegistryString(key + "\\Deeper", "Folder"), std::nullopt);
    EXPECT_EQ(platform::RegistryString("HKEY_NOWHERE\\Software", "Folder"), std::nullopt);
}

} // namespace
#endif
