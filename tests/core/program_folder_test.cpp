#include "core/program_folder.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace {

TEST(ProgramFolderTest, UsesTheExecutableFolderOnlyWhenItHoldsADiary) {
    TempFolder executable, user;
    // An empty, writable executable folder (a build folder, ~/.local/bin) gets no diary.
    EXPECT_EQ(tavo::ChooseProgramFolder(executable.path(), user.path()), user.path());

    WriteAll(executable.path() / "data", "");  // a file named "data" is not a diary
    EXPECT_EQ(tavo::ChooseProgramFolder(executable.path(), user.path()), user.path());
    std::filesystem::remove(executable.path() / "data");

    std::filesystem::create_directory(executable.path() / "data");
    EXPECT_EQ(tavo::ChooseProgramFolder(executable.path(), user.path()), executable.path());
    std::filesystem::remove(executable.path() / "data");

    WriteAll(executable.path() / "tavo.ini", "[SIZE]\r\n");
    EXPECT_EQ(tavo::ChooseProgramFolder(executable.path(), user.path()), executable.path());
}

}  // namespace
