#pragma once
// The program driven by random user actions on a folder changed behind its back, and the
// checks of the disk, the list, the image store and the status bar after each step.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/platform/ListItemsModel.h"
#include "app/platform/Names.h"
#include "catalogue/MainModule.h"
#include "support/FaultFs.h"
#include "support/ProgramFixture.h"

namespace talvane::test {

struct Entry {
    char kind;  // 'f' regular file, 'd' folder, 'o' anything else
    QByteArray bytes;
    bool readOnly;
    ino_t ino = 0;  // not compared: links to one file share it
    bool operator==(const Entry& o) const {
        return kind == o.kind && bytes == o.bytes && readOnly == o.readOnly;
    }
};
using Disk = std::map<std::string, Entry>;

class StateMachineTest : public ProgramTest {
protected:
    Disk Read() {
        Disk disk;
        std::error_code ec;
        if (!std::filesystem::is_directory(path, ec)) return disk;
        for (const auto& item : std::filesystem::directory_iterator(path, ec)) {
            std::string name = item.path().filename().string();
            struct stat st {};
            if (::lstat(item.path().c_str(), &st) != 0) continue;
            Entry e{'o', {}, false, st.st_ino};
            if (S_ISREG(st.st_mode)) {
                e.kind = 'f';
                e.bytes = ReadFileBytes(item.path().string());
                e.readOnly = (st.st_mode & 0222) == 0;
            } else if (S_ISDIR(st.st_mode)) {
                e.kind = 'd';
            }
            disk[name] = e;
        }
        return disk;
    }

    static std::string Describe(const Disk& before, const Disk& after) {
        std::string out;
        for (const auto& [name, e] : before)
            if (!after.count(name) || !(after.at(name) == e))
                out += " -" + name + "(" + e.kind + ")";
        for (const auto& [name, e] : after)
            if (!before.count(name) || !(before.at(name) == e))
                out += " +" + name + "(" + e.kind + ")";
        return out;
    }

    std::string Pick(const std::vector<std::string>& from) { return from[rng() % from.size()]; }

    std::string RandomName() {
        static const std::vector<std::string> stems = {"Sun", "Moon",      "Star",     "sky",
                                                       "Sky", "banner2",   "banner10", "a b",
                                                       "-x",  "\xE9t\xE9", ""};
        static const std::vector<std::string> exts = {".bmp", ".BMP", ".Bmp", ".gif", ""};
        return Pick(stems) + (rng() % 3 ? ".bmp" : Pick(exts));
    }

    void Write(const std::string& name, const QByteArray& bytes) {
        std::string file = path + "/" + name;
        ::unlink(file.c_str());
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return;
        if (::write(fd, bytes.constData(), size_t(bytes.size())) < 0) {
        }
        ::close(fd);
    }

    // Something another program does to the folder.
    void OutsideChange() {
        std::error_code ec;
        Disk disk = Read();
        std::vector<std::string> names;
        for (const auto& [name, e] : disk) names.push_back(name);
        std::string victim = names.empty() ? std::string() : path + "/" + Pick(names);
        switch (rng() % 10) {
            case 0:
                if (!victim.empty()) std::filesystem::remove_all(victim, ec);
                break;
            case 1:
            case 2:
                Write(RandomName(), BannerBytes(int(rng() % 1000)));
                break;
            case 3:
                if (!victim.empty()) ::rename(victim.c_str(), (path + "/" + RandomName()).c_str());
                break;
            case 4:
                if (!victim.empty()) ::truncate(victim.c_str(), 1000);
                break;
            case 5:
                if (!victim.empty()) ::chmod(victim.c_str(), rng() % 2 ? 0444 : 0644);
                break;
            case 6:
                if (!victim.empty()) {
                    std::filesystem::remove_all(victim, ec);
                    ::mkdir(victim.c_str(), 0755);
                }
                break;
            case 7:
                if (!victim.empty()) {
                    std::filesystem::remove_all(victim, ec);
                    ::mkfifo(victim.c_str(), 0644);
                }
                break;
            case 8:
                if (rng() % 2 && !victim.empty())
                    ::link(victim.c_str(),
                           (path + "/" + RandomName()).c_str());  // another name, the same file
                else if (rng() % 5 == 0)
                    Write(RandomName(), QByteArray(1174, 'g'));
                break;
            default:
                if (rng() % 4 == 0) {
                    std::filesystem::remove_all(path, ec);
                    if (rng() % 2) ::mkdir(path.c_str(), 0755);
                } else if (!std::filesystem::exists(path, ec)) {
                    ::mkdir(path.c_str(), 0755);
                }
                break;
        }
    }

    QString RandomText() {
        switch (rng() % 9) {
            case 0:
                return QString();
            case 1:
                return QStringLiteral("a/b");
            case 2:
                return QStringLiteral("../up");
            case 3:
                return QString(300, QChar('x'));
            case 4:
                return QString::fromUtf8("\xC3\xA9t\xC3\xA9");
            case 5: {
                auto rows = Rows();
                return rows.empty() ? QStringLiteral("x")
                                    : List()
                                          .Model()
                                          ->data(rows[rng() % rows.size()], Qt::DisplayRole)
                                          .toString();
            }
            default: {
                QString text;
                int length = 1 + int(rng() % 8);
                for (int i = 0; i < length; ++i) text += QChar(u"abcXYZ019 _-"[rng() % 12]);
                return text;
            }
        }
    }

    std::vector<QModelIndex> Rows() {
        Flush();
        return RowsOf(List().Model());
    }

    // Clicks a random entry; the key of the entry clicked, or "" when the list is empty.
    std::string ClickSomeEntry() {
        auto rows = Rows();
        if (rows.empty()) return {};
        QModelIndex index = rows[rng() % rows.size()];
        std::string key = List().Model()->Entry(ListItemsModel::SlotOf(index)).key;
        ActivateMain();
        View()->scrollTo(index);
        QTest::mouseClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          View()->visualRect(index).center());
        Flush();
        return key;
    }

    std::set<std::string> ListedKeys() {
        std::set<std::string> keys;
        for (const QModelIndex& index : Rows())
            keys.insert(List().Model()->Entry(ListItemsModel::SlotOf(index)).key);
        return keys;
    }

    // The name the program gives a file whose entry text was edited to `text`.
    static std::string EditedName(const QString& text, const std::string& current) {
        const std::string stem = Stem(current);
        return (DisplayName(stem) == text ? stem : NameFromText(text)) + ".bmp";
    }

    static std::string Stem(const std::string& name) {
        return name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
    }

    void CheckList(bool scanFinished, const Disk& disk) {
        std::set<std::string> keys;
        for (const QModelIndex& index : Rows()) {
            const ListEntry& e = List().Model()->Entry(ListItemsModel::SlotOf(index));
            keys.insert(e.key);
            ASSERT_EQ(e.key.rfind(path + "/", 0), 0u) << e.key;
            ASSERT_EQ(e.Icon(), e.key);
            ASSERT_EQ(e.SmallIcon(), e.key);
            ASSERT_TRUE(Main().ilsMain->Has(e.key)) << "entry without its picture";
            ASSERT_EQ(e.Text(), DisplayName(Stem(BaseName(e.key))));
        }
        if (Panel(1) == "Banners Loaded") {
            ASSERT_EQ(Panel(3), QString("%1 Banners").arg(keys.size()));
        }
        QImage preview = frmPreview().imgBanner->Picture();
        if (!preview.isNull()) {
            ASSERT_EQ(preview.size(), QSize(12, 8));
        }
        if (!scanFinished) return;
        std::set<std::string> banners;
        for (const auto& [name, e] : disk)
            if (e.kind == 'f' && e.bytes.size() == 1174 && IsBannerName(name))
                banners.insert(path + "/" + name);
        ASSERT_EQ(keys, banners) << "a finished scan lists exactly the banners on disk";
    }

    // Chooses what the file system does to the next scan: names listed twice, a file that
    // goes and one cut short when they are opened.
    void Disturb(FaultFs& fs, const Disk& disk, std::vector<std::string>& gone,
                 std::vector<std::string>& cut) {
        std::vector<std::string> names;
        for (const auto& [name, e] : disk)
            if (std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 127; }))
                names.push_back(name);  // words of the rules file
        if (names.empty()) return;
        std::string rules;
        for (int i = 0, n = int(rng() % 3); i < n; ++i)
            rules += "readdir * repeat " + Pick(names) + "\n";
        if (rng() % 2) {
            gone.push_back(Pick(names));
            rules += "open " + gone.back() + " vanish\n";
        }
        // A file with one name only: cut short through another name once it has been read
        // by this one, it is rightly listed though no longer a banner.
        std::erase_if(names, [&](const std::string& name) {
            return std::count_if(disk.begin(), disk.end(), [&](const auto& other) {
                       return other.second.ino == disk.at(name).ino;
                   }) > 1;
        });
        if (!names.empty() && rng() % 2) {
            cut.push_back(Pick(names));
            rules += "open " + cut.back() + " shrink " + std::to_string(rng() % 1174) + "\n";
        }
        fs.SetRules(rules);
    }

    void Run(const std::string& root, FaultFs* fs);

    std::mt19937 rng;
    TempFolder folder;
    std::string path;
};

}  // namespace talvane::test
