#include "tools/backup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <cstdlib>
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
