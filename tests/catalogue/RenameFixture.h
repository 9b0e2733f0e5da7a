#pragma once
// A folder of three banners, renamed by editing their texts in place.

#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QTest>
#include <map>

#include "app/platform/ListItemsModel.h"
#include "app/platform/RuntimeError.h"
#include "catalogue/MainModule.h"
#include "support/ProgramFixture.h"

namespace talvane::test {

class RenameTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        folder.WriteBanner("Sun.bmp", 1);
        folder.WriteBanner("Moon.bmp", 2);
        folder.WriteBanner("Star.BMP", 3);
    }

    // Edits `from` through File > Rename and ends the edit with Return.
    void Rename(const QString& from, const QString& to) {
        Click(from);
        ChooseMenu(Main().mnuRename);
        ASSERT_NE(Editor(), nullptr) << "File > Rename opened no editor";
        TypeIntoEditor(to);
        Press(Qt::Key_Return);
    }

    // Every file of the folder with its bytes.
    std::map<std::string, QByteArray> Disk() {
        std::map<std::string, QByteArray> disk;
        for (const std::string& name : folder.Names()) disk[name] = folder.Read(name);
        return disk;
    }

    ino_t Inode(const std::string& name) {
        struct stat st {};
        ::lstat((folder / name).c_str(), &st);
        return st.st_ino;
    }

    TempFolder folder;
};

}  // namespace talvane::test
