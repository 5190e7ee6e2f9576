#include "tools/backup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string kStamp = "20240101-120000";
// 表示 in code page 932: the second byte of 表 is a backslash, which must stay in the name.
const std::string kStyleName = "\x95\x5C\x8E\xA6.style";

// Every file and folder below `folder` by relative path, folders ending in "/".
std::map<std::string, std::string> Tree(const fs::path& folder) {
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        if (entry.is_directory())
            tree[name + "/"] = "";
        else
            tree[name] = ReadAll(entry.path());
    }
    return tree;
}

// A zip of the given members, each holding one byte; names ending in "/" are folders.
void WriteZip(const fs::path& file, const std::vector<std::string>& names) {
    int code = 0;
    zip_t* zip = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(zip, nullptr) << code;
    for (const std::string& name : names) {
        zip_source_t* source = zip_source_buffer(zip, "x", 1, 0);
        ASSERT_GE(zip_file_add(zip, name.c_str(), source, 0), 0) << name;
    }
    ASSERT_EQ(zip_close(zip), 0);
}

class BackupTest : public testing::Test {
protected:
    void SetUp() override {
        Write("data/20040105.txt", "day one\r\n");
        Write("data/20040106.txt", "day two\r\n");
        Write("data/20040107.txt.tmp-1-0", "half saved");
        Write("data.index", "20040105\r\n20040106\r\n");
        Write("tavo.ini", "[Tavo]\r\n");
        Write("style/" + kStyleName, "<style>");
        Write("view.css", "body {}");
        fs::create_directories(diary() / "tavo-img/empty");
        Write("conflicts/20040105.txt", "set aside");
    }

    fs::path diary() const { return root_.path() / "diary"; }
    fs::path backups() const { return root_.path() / "backup/daily"; }

    void Write(const std::string& name, const std::string& bytes) {
        fs::create_directories((diary() / name).parent_path());
        WriteAll(diary() / name, bytes);
    }

    fs::path Snapshot(const std::string& stamp) {
        fs::path written;
        std::string error;
        EXPECT_TRUE(tavo::CreateSnapshot(diary(), backups(), stamp, &written, &error)) << error;
        return written;
    }

    TempFolder root_;
};

TEST_F(BackupTest, RestoreBringsBackTheSnapshotsItems) {
    const time_t kTime = 1262401446;  // 2010-01-02, even seconds as zip times have
    const timespec times[2] = {{kTime, 0}, {kTime, 0}};
    ::utimensat(AT_FDCWD, (diary() / "data/20040105.txt").c_str(), times, 0);
    std::map<std::string, std::string> expected = Tree(diary());
    expected.erase("data/20040107.txt.tmp-1-0");

    const fs::path zip = Snapshot(kStamp);
    EXPECT_EQ(zip, backups() / "tavo-20240101-120000.zip");
    const std::vector<tavo::SnapshotInfo> list = tavo::ListSnapshots(backups());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_TRUE(list[0].readable) << list[0].problem;
    EXPECT_EQ(list[0].stamp, kStamp);
    EXPECT_EQ(list[0].entryCount, 2);

    Write("data/20040105.txt", "changed");
    Write("data/20240101.txt", "added");
    Write("User.ini", "not in the snapshot");
    fs::remove_all(diary() / "style");
    std::string error;
    ASSERT_TRUE(tavo::RestoreSnapshot(diary(), zip, &error)) << error;
    expected["User.ini"] = "not in the snapshot";
    EXPECT_EQ(Tree(diary()), expected);
    struct stat status {};
    ::stat((diary() / "data/20040105.txt").c_str(), &status);
    EXPECT_EQ(status.st_mtime, kTime);

    // A snapshot from before the set-aside versions were backed up leaves them as they are.
    const fs::path older = backups() / "tavo-20000101-120000.zip";
    WriteZip(older, {"data/", "data/20000101.txt", "data.index"});
    ASSERT_EQ(tavo::ListSnapshots(backups()).back().file, older);
    EXPECT_TRUE(tavo::ListSnapshots(backups()).back().readable);
    ASSERT_TRUE(tavo::RestoreSnapshot(diary(), older, &error)) << error;
    for (auto it = expected.begin(); it != expected.end();)
        it = it->first.starts_with("data") ? expected.erase(it) : std::next(it);
    expected.insert({{"data/", ""}, {"data/20000101.txt", "x"}, {"data.index", "x"}});
    EXPECT_EQ(Tree(diary()), expected);
}

constexpr int kKilled = -1;

// Runs `step` in a child process, as a program of its own that may be killed halfway:
// kKilled when SIGKILL ended it, else 0 when `step` returned true and 1 when not.
int RunInChild(const std::function<bool()>& step) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(step() ? 0 : 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return kKilled;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

tavo::RenameHook KillAtRename(int number) {
    return [number](int renameNumber) {
        if (renameNumber == number)
            ::raise(SIGKILL);
    };
}

// A restore is cut short before each of its renames in turn: by a crash (a child process
// killed there, then the next start, itself killed once in some rows) or by a rename that
// fails (its staged item gone). Afterwards the diary is wholly the snapshot's or wholly the
// one before, index included, and neither the journal nor a staging folder is left.
TEST_F(BackupTest, RestoreIsAllOrNothingWhereverItStops) {
    for (int day = 10; day <= 14; ++day)
        Write("data/200401" + std::to_string(day) + ".txt", "day " + std::to_string(day));
    std::map<std::string, std::string> restored = Tree(diary());
    restored.erase("data/20040107.txt.tmp-1-0");
    const fs::path zip = Snapshot(kStamp);
    std::vector<std::string> inSnapshot;
    for (const std::string_view item : tavo::kSnapshotItems) {
        if (fs::exists(diary() / item))
            inSnapshot.emplace_back(item);
    }

    Write("data/20040105.txt", "changed");
    Write("data/20240101.txt", "added");
    Write("data.index", "20040105\r\n20240101\r\n");
    Write("tavo.ini", "[Tavo]\r\nchanged\r\n");
    Write("conflicts/20040105.txt", "set aside again");
    fs::remove(diary() / "view.css");
    fs::remove_all(diary() / "tavo-img");
    Write("User.ini", "not in the snapshot");
    restored["User.ini"] = "not in the snapshot";
    const std::map<std::string, std::string> before = Tree(diary());
    // The journal's rename, then per item one to set the current one aside (where there is
    // one) and one to move the snapshot's in.
    int renames = 1;
    for (const std::string& item : inSnapshot)
        renames += fs::exists(diary() / item) ? 2 : 1;

    enum class Stop { Kill, Fail };
    struct Row {
        Stop stop;
        int atRename;
        int killRecoveryAtRename = 0;  // 0: the next start runs to its end
    };
    std::vector<Row> rows;
    for (int at = 1; at <= renames + 1; ++at)  // past the last one: not cut short
        rows.push_back({Stop::Kill, at});
    for (int at = 2; at <= renames; ++at)
        rows.push_back({Stop::Fail, at});
    for (const auto& [at, recoveryAt] : {std::pair{3, 1}, {6, 2}, {2, renames - 1}})
        rows.push_back({Stop::Kill, at, recoveryAt});

    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        SCOPED_TRACE(std::string(row.stop == Stop::Kill ? "killed" : "failed") + " at rename " +
                     std::to_string(row.atRename) + ", recovery killed at " +
                     std::to_string(row.killRecoveryAtRename));
        const fs::path folder = root_.path() / ("row" + std::to_string(i));
        fs::copy(diary(), folder, fs::copy_options::recursive);
        std::string error, report;
        bool restoreDone = false;
        if (row.stop == Stop::Kill) {
            const int ended = RunInChild([&] {
                return tavo::RestoreSnapshot(folder, zip, &error, KillAtRename(row.atRename));
            });
            restoreDone = row.atRename > renames;
            EXPECT_EQ(ended, restoreDone ? 0 : kKilled);
        } else {
            const auto removeStaged = [&](int renameNumber) {
                if (renameNumber != row.atRename)
                    return;
                for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
                    if (entry.path().filename().string().starts_with(".restore-")) {
                        for (const fs::directory_entry& staged :
                             fs::directory_iterator(entry.path() / "new"))
                            fs::remove_all(staged.path());
                    }
                }
            };
            EXPECT_FALSE(tavo::RestoreSnapshot(folder, zip, &error, removeStaged));
            EXPECT_NE(error, "");
        }
        if (row.killRecoveryAtRename > 0) {
            EXPECT_EQ(RunInChild([&] {
                          return tavo::FinishInterruptedRestore(
                              folder, &report, &error, KillAtRename(row.killRecoveryAtRename));
                      }),
                      kKilled);
        }

        ASSERT_TRUE(tavo::FinishInterruptedRestore(folder, &report, &error)) << error;
        const bool rolledForward = row.stop == Stop::Kill && row.atRename > 1 && !restoreDone;
        EXPECT_EQ(report.empty(), !rolledForward) << report;
        EXPECT_EQ(Tree(folder), row.stop == Stop::Kill && row.atRename > 1 ? restored : before);
        EXPECT_FALSE(fs::exists(folder / tavo::kRestoreJournal));
    }
}

TEST_F(BackupTest, OtherToolsReadTheZip) {
    const std::string zip = "'" + Snapshot(kStamp).string() + "'";
    const struct {
        const char* tool;
        std::string command;
    } checks[] = {
        {"/usr/bin/unzip", "unzip -tq " + zip + " > /dev/null"},
        // Names without the UTF-8 flag come back as code page 437; encoding them again gives
        // the stored bytes.
        {"/usr/bin/python3",
         "python3 -c 'import os, sys, zipfile\n"
         "z = zipfile.ZipFile(sys.argv[1])\n"
         "names = {i.filename.encode(\"utf-8\" if i.flag_bits & 0x800 else \"cp437\")"
         " for i in z.infolist()}\n"
         "sys.exit(z.testzip() is not None or os.fsencode(sys.argv[2]) not in names)' " +
             zip + " 'style/" + kStyleName + "'"},
    };
    int run = 0;
    for (const auto& check : checks) {
        if (!fs::exists(check.tool))
            continue;
        ++run;
        EXPECT_EQ(std::system(check.command.c_str()), 0) << check.command;
    }
    if (run == 0)
        GTEST_SKIP() << "neither unzip nor python3 is installed";
}

TEST_F(BackupTest, RotationKeepsTheNewestGoodSnapshotsAndEveryOtherZip) {
    auto stamp = [](int day) { return "202401" + std::to_string(day + 10) + "-120000"; };
    auto name = [&](int day) { return tavo::SnapshotFileName(stamp(day)); };
    for (int day = 1; day <= 16; ++day)
        Snapshot(stamp(day));
    const std::string good = ReadAll(backups() / name(1));
    WriteAll(backups() / "tavo-20250101-120000.zip", good.substr(0, good.size() / 2));
    WriteAll(backups() / "other.zip", good);

    std::string error;
    ASSERT_TRUE(tavo::RotateSnapshots(backups(), tavo::kSnapshotsKept, &error)) << error;
    std::vector<std::string> expected = {"tavo-20250101-120000.zip"};
    for (int day = 16; day >= 3; --day)
        expected.push_back(name(day));
    expected.push_back("other.zip");
    std::vector<std::string> listed;
    for (const tavo::SnapshotInfo& snapshot : tavo::ListSnapshots(backups())) {
        listed.push_back(snapshot.file.filename().string());
        EXPECT_EQ(snapshot.readable, listed.back() != expected.front()) << listed.back();
        EXPECT_EQ(snapshot.problem.empty(), snapshot.readable) << snapshot.problem;
    }
    EXPECT_EQ(listed, expected);

    const struct {
        const char* day;
        bool found;
    } days[] = {{"20240126", true}, {"20240112", false}, {"20250101", false}, {"2024", false}};
    for (const auto& day : days)
        EXPECT_EQ(tavo::HasSnapshotOfDay(backups(), day.day), day.found) << day.day;
}

TEST_F(BackupTest, RefusedSnapshotsLeaveTheDiaryAlone) {
    const std::string good = ReadAll(Snapshot(kStamp));
    std::vector<fs::path> zips = {root_.path() / "truncated.zip", root_.path() / "corrupt.zip"};
    WriteAll(zips[0], good.substr(0, good.size() - 100));
    std::string corrupt = good;
    const size_t text = corrupt.find("day two");
    ASSERT_NE(text, std::string::npos) << "the entry is expected stored, not deflated";
    corrupt[text] = 'D';  // its CRC no longer matches
    WriteAll(zips[1], corrupt);
    const std::vector<std::vector<std::string>> badMembers = {
        {"data/", "data/../../evil"},
        {"data/", "../evil"},
        {"data/", (root_.path() / "evil").string()},
        {"data/", "evil.txt"},
        {"data/./x"},
        {"tavo.ini"},
    };
    for (const std::vector<std::string>& members : badMembers) {
        zips.push_back(root_.path() / ("bad" + std::to_string(zips.size()) + ".zip"));
        WriteZip(zips.back(), members);
    }

    const std::map<std::string, std::string> before = Tree(diary());
    for (const fs::path& zip : zips) {
        std::string error;
        EXPECT_FALSE(tavo::RestoreSnapshot(diary(), zip, &error)) << zip;
        EXPECT_NE(error, "") << zip;
        EXPECT_EQ(Tree(diary()), before) << zip;
        EXPECT_FALSE(fs::exists(root_.path() / "evil")) << zip;
    }
}

// What interrupted runs leave goes at the next start, and the backup folder's part files
// before each backup; the user's files with names alike stay. Staging folders stay while a
// restore journal says one of them is needed.
TEST_F(BackupTest, LeftoversOfInterruptedRunsGoAndNothingElse) {
    const struct {
        fs::path file;
        bool goesAtBackup;
        bool goesAtStart;
        bool goesAtStartWithJournal;
    } files[] = {
        {backups() / "tavo-20240101-000000.zip.part.Ab12Cd", true, true, true},
        {backups() / "tavo-20240101-000000.zip.part", true, true, true},
        {backups() / "tavo-20240101-000000.zip", false, false, false},
        {backups() / "tavo-20240101-000000.zip.partial", false, false, false},
        {backups() / "tavo-notes.zip.part.Ab12Cd", false, false, false},
        {backups() / "notes.part.txt", false, false, false},
        {diary() / ".restore-Ab12Cd/new/data/20040105.txt", false, true, false},
        {diary() / ".restore-notes/20040105.txt", false, false, false},
        {diary() / "tavo.ini.tmp-12-0", false, true, true},
        {diary() / "data/20040107.txt.tmp-1-0", false, true, true},
        {diary() / "recovery/20040105.txt.tmp-3-4", false, true, true},
        {diary() / ("style/" + kStyleName + ".tmp-3-5"), false, true, true},
        {diary() / "tavo-img/20040105-1.png.tmp-3-6", false, true, true},
        {diary() / "conflicts/20040105.txt.tmp-3-7", false, true, true},
        {diary() / "data/notes.tmp-old.txt", false, false, false},
        {diary() / "data/20040105.txt.tmp-", false, false, false},
        {diary() / "data/20040105.txt", false, false, false},
        {diary() / "letters/20040105.txt.tmp-3-8", false, false, false},
    };
    enum When { AtBackup, AtStart, AtStartWithJournal };
    for (const When when : {AtBackup, AtStart, AtStartWithJournal}) {
        SCOPED_TRACE(when);
        for (const auto& f : files) {
            fs::create_directories(f.file.parent_path());
            WriteAll(f.file, "kept?");
        }
        if (when == AtStartWithJournal)
            WriteAll(diary() / tavo::kRestoreJournal, "unreadable");
        std::string error;
        if (when == AtBackup)
            EXPECT_TRUE(tavo::CreateSnapshot(diary(), backups(), kStamp, nullptr, &error)) << error;
        else
            EXPECT_TRUE(tavo::RemoveLeftovers(diary(), backups(), &error)) << error;
        for (const auto& f : files) {
            const bool goes = when == AtBackup  ? f.goesAtBackup
                              : when == AtStart ? f.goesAtStart
                                                : f.goesAtStartWithJournal;
            EXPECT_EQ(fs::exists(f.file), !goes) << f.file;
        }
        fs::remove(backups() / tavo::SnapshotFileName(kStamp));
    }
}

// A disk that fills, or a backup folder that cannot be made: the snapshot fails with the
// reason, leaves no part file behind and the older snapshots as they were.
TEST_F(BackupTest, FailedSnapshotLeavesNothingAndOlderOnesAlone) {
    const fs::path older = Snapshot(kStamp);
    const std::string olderBytes = ReadAll(older);
    std::minstd_rand random(1);
    std::string noise(256 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    Write("data/20040108.txt", noise);
    WriteAll(root_.path() / "file", "");

    const struct {
        fs::path folder;
        rlim_t sizeLimit;
    } cases[] = {{backups(), 64 * 1024}, {root_.path() / "file/backup", RLIM_INFINITY}};
    for (const auto& c : cases) {
        std::string error;
        bool created = false;
        {
            const FileSizeLimit full(c.sizeLimit);
            created = tavo::CreateSnapshot(diary(), c.folder, "20240102-120000", nullptr, &error);
        }
        EXPECT_FALSE(created) << c.folder;
        EXPECT_NE(error.find(c.folder.string()), std::string::npos) << error;
    }
    const std::vector<fs::path> left(fs::directory_iterator(backups()), {});
    EXPECT_EQ(left, std::vector<fs::path>{older});
    EXPECT_EQ(ReadAll(older), olderBytes);
}

}  // namespace
