// Runs the built tavo-cli as a script would and compares its page with the generator's.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

#include "core/entry_store.h"
#include "core/product.h"
#include "core/temp_folder.h"
#include "publish/page_generator.h"
#include "publish/style.h"

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CliTest : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(folder_.path() / "diary" / "data");
        std::filesystem::create_directories(folder_.path() / "diary" / "style");
        std::string error;
        ASSERT_TRUE(tavo::WriteDefaultStyle(diary(), &error)) << error;
        const tavo::EntryStore store(diary());
        ASSERT_TRUE(store.SaveEntry("20040403.txt", {"T", "a\r\nb", "private"}, &error)) << error;
        ASSERT_TRUE(store.SaveEntry("20040401.txt", {"first", "x", ""}, &error)) << error;
    }

    std::filesystem::path diary() const { return folder_.path() / "diary"; }

    // Runs tavo-cli with the arguments (already quoted for the shell where needed).
    CliRun Cli(const std::string& arguments, const std::string& environment = {}) const {
        const auto out = folder_.path() / "out", err = folder_.path() / "err";
        const std::string command = environment + " '" TAVO_CLI_PATH "' " + arguments + " > '" +
                                    out.string() + "' 2> '" + err.string() + "'";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadAll(out), ReadAll(err)};
    }

    std::string Expected(bool oldestFirst) const {
        std::string page, error;
        EXPECT_TRUE(tavo::GeneratePage(diary(), {"demo", {2004, 4, 1}, {2004, 4, 30}, oldestFirst},
                                       &page, &error))
            << error;
        return page;
    }

    TempFolder folder_;
};

TEST_F(CliTest, WritesTheGeneratorsPageToStandardOutputOrAFile) {
    const std::string range = " --style demo --from 2004-04-01 --to 2004-04-30";
    CliRun run = Cli("page --folder '" + diary().string() + "'" + range);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, Expected(false));
    EXPECT_NE(run.out.find("<a name=\"20040403\"></a>"), std::string::npos);
    EXPECT_EQ(run.out.find("private"), std::string::npos);

    const auto file = folder_.path() / "page.html";
    run = Cli("page --folder '" + diary().string() + "'" + range + " --oldest-first --output '" +
              file.string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadAll(file), Expected(true));
}

TEST_F(CliTest, DefaultFolderIsTheOneTheProgramWouldUse) {
    // Beside an executable that holds no diary, the per-user data folder is used.
    std::filesystem::create_directories(folder_.path() / "share");
    std::filesystem::rename(diary(), folder_.path() / "share" / "tavo");
    const CliRun run = Cli("page --style demo --from 2004-04-01 --to 2004-04-30",
                           "XDG_DATA_HOME='" + (folder_.path() / "share").string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("<a name=\"20040403\"></a>"), std::string::npos);
}

TEST_F(CliTest, HelpListsTheCommandsAndVersionNamesTheProduct) {
    for (const char* help : {"--help", "-h", "help"}) {
        const CliRun run = Cli(help);
        EXPECT_EQ(run.status, 0) << help;
        EXPECT_EQ(run.err, "") << help;
        for (const char* listed : {"page", "--style", "--from", "--to", "--output", "help"})
            EXPECT_NE(run.out.find(listed), std::string::npos) << help << ": " << listed;
    }
    const CliRun version = Cli("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tavo-cli (Tavo) ") + tavo::kVersion + "\n");
}

TEST_F(CliTest, BadInputGivesOneLineAndStatusTwo) {
    const std::string folder = " --folder '" + diary().string() + "'";
    const struct {
        std::string arguments;
        const char* says;
    } cases[] = {
        {"", "usage"},
        {"--help page", "usage"},
        {"pages --style demo --from 2004-04-01 --to 2004-04-30", "usage"},
        {"page" + folder + " --from 2004-04-01 --to 2004-04-30", "--style"},
        {"page" + folder + " --style demo --from 2004-4-1 --to 2004-04-30", "--from"},
        {"page" + folder + " --style demo --from 2004-04-01 --to 2004-02-30", "--to"},
        {"page" + folder + " --style nosuch --from 2004-04-01 --to 2004-04-30", "nosuch"},
        {"page --folder /nonexistent/diary --style demo --from 2004-04-01 --to 2004-04-30",
         "/nonexistent/diary"},
        {"page" + folder + " --style demo --from 2004-04-01 --to", "--to"},
        {"page" + folder + " --colour red", "--colour"},
    };
    for (const auto& c : cases) {
        const CliRun run = Cli(c.arguments);
        EXPECT_EQ(run.status, 2) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.err.rfind("tavo-cli: ", 0), 0u) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(run.err.back(), '\n');
    }
}

TEST_F(CliTest, FailedGenerationWritesNoFile) {
    WriteAll(diary() / "data" / "20040410.txt", "6B\r\n");  // one line: not an entry file
    const auto file = folder_.path() / "page.html";
    const CliRun run =
        Cli("page --folder '" + diary().string() +
            "' --style demo --from 2004-04-01 --to 2004-04-30 --output '" + file.string() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("20040410.txt"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
