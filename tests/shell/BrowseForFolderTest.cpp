// The folder picker: what the dialog is asked, and what comes back to the caller.

#include <QWidget>

#include <gtest/gtest.h>
#include "shell/ShellBrowseModule.h"
#include "support/ScriptedDesktop.h"

namespace talvane::test {
namespace {

class BrowseForFolderTest : public ::testing::Test {
protected:
    void SetUp() override { SetDesktop(&desktop); }
    void TearDown() override { SetDesktop(nullptr); }
    ScriptedDesktop desktop;
};

TEST_F(BrowseForFolderTest, TheDialogIsOwnedByTheCallerAndShowsItsTitle) {
    QWidget owner;
    desktop.folders.push_back(std::string("/tmp"));
    EXPECT_EQ(BrowseForFolder(&owner, "Pick one"), "/tmp");
    ASSERT_EQ(desktop.folderOwners.size(), 1u);
    EXPECT_EQ(desktop.folderOwners[0], &owner);
    EXPECT_EQ(desktop.folderTitles[0], "Pick one");
}

TEST_F(BrowseForFolderTest, ReturnsTheChosenPathWholeOrNothing) {
    struct Case {
        const char* what;
        std::optional<std::string> chosen;
        std::string expected;
    } cases[] = {
        {"cancelled", std::nullopt, ""},
        {"spaces inside, none added", "/home/me/My Banners/Old Ones",
         "/home/me/My Banners/Old Ones"},
        {"trailing space kept", "/srv/banners ", "/srv/banners "},
        {"not UTF-8", "/srv/caf\xE9", "/srv/caf\xE9"},
        {"longest that fits", "/" + std::string(4094, 'a'), "/" + std::string(4094, 'a')},
        {"too long for the buffer", "/" + std::string(4095, 'a'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        desktop.folders.push_back(c.chosen);
        EXPECT_EQ(BrowseForFolder(nullptr, "t"), c.expected);
    }
}

}  // namespace
}  // namespace talvane::test
