#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "core/temp_folder.h"
#include "ftp/ftp_settings.h"
#include "ftp/ftp_trust.h"
#include "ftp/image_queue.h"
#include "ftp/page_replacement.h"

namespace {

using tavo::ftp::FtpSecurity;
using tavo::ftp::FtpSettings;

TEST(FtpSettingsTest, SixLinesWithTheScrambledPasswordAndTheChoicesOfEncryptionAndConnection) {
    TempFolder folder;
    const auto file = folder.path() / "FTP.ini";
    std::string error;
    FtpSettings read{"x", "y", "z", "w", FtpSecurity::Plain};
    ASSERT_TRUE(tavo::ftp::ReadFtpSettings(file, &read, &error)) << error;
    EXPECT_EQ(read, (FtpSettings{"", "", "", "/"}));  // no file yet: a new setup encrypts
    EXPECT_EQ(read.security, FtpSecurity::Tls);
    EXPECT_TRUE(read.passive);

    for (const bool passive : {false, true}) {
        const FtpSettings settings{"ftp.example.com",  "me",  "abc",  "/public_html/diary",
                                   FtpSecurity::Plain, false, passive};
        ASSERT_TRUE(tavo::ftp::WriteFtpSettings(file, settings, &error)) << error;
        EXPECT_EQ(ReadAll(file), std::string("ftp.example.com\r\nme\r\n666462\r\n/public_html/"
                                             "diary\r\nFTP\r\n") +
                                     (passive ? "PASV\r\n" : "PORT\r\n"));
        ASSERT_TRUE(tavo::ftp::ReadFtpSettings(file, &read, &error)) << error;
        EXPECT_EQ(read, settings);
    }

    // Files of older versions and damaged ones: what each reads as.
    const struct {
        const char* text;
        FtpSettings expected;
    } files[] = {
        {"host\nuser\n", {"host", "user", "", "", FtpSecurity::Tls, true}},
        {"h\r\nu\r\n666462\r\n/\r\n", {"h", "u", "abc", "/", FtpSecurity::Tls, true}},
        {"h\r\nu\r\n\r\n/\r\nFTPS\r\n", {"h", "u", "", "/", FtpSecurity::Tls, false}},
        {"h\r\nu\r\n\r\n/\r\nftp\r\n", {"h", "u", "", "/", FtpSecurity::Tls, false}},
        {"h\r\nu\r\n\r\n/\r\nFTP\r\nPORT\r\n",
         {"h", "u", "", "/", FtpSecurity::Plain, false, false}},
        {"h\r\nu\r\n\r\n/\r\nFTP\r\nPASV\r\n", {"h", "u", "", "/", FtpSecurity::Plain, false}},
        {"h\r\nu\r\n\r\n/\r\nFTP\r\nport\r\n", {"h", "u", "", "/", FtpSecurity::Plain, false}},
        {"h\r\nu\r\n\r\n/\r\nFTP\r\n\r\n", {"h", "u", "", "/", FtpSecurity::Plain, false}},
    };
    for (const auto& c : files) {
        WriteAll(file, c.text);
        ASSERT_TRUE(tavo::ftp::ReadFtpSettings(file, &read, &error)) << error;
        EXPECT_EQ(read, c.expected) << c.text;
    }

    // Choosing clear text for a four-line file keeps its lines as they are.
    WriteAll(file, "h\r\nu\r\n666462\r\n/\r\n");
    ASSERT_TRUE(tavo::ftp::WriteFtpSecurity(file, FtpSecurity::Plain, &error)) << error;
    EXPECT_EQ(ReadAll(file), "h\r\nu\r\n666462\r\n/\r\nFTP\r\n");
    WriteAll(file, "h\r\nu\r\n666462\r\n/\r\nFTPS\r\nPORT\r\n");
    ASSERT_TRUE(tavo::ftp::WriteFtpSecurity(file, FtpSecurity::Plain, &error)) << error;
    EXPECT_EQ(ReadAll(file), "h\r\nu\r\n666462\r\n/\r\nFTP\r\nPORT\r\n");
}

// The old page goes only where renaming has been seen to work and it is there; every other
// refusal leads to storing under the name, and a refused store keeps the copy.
TEST(PageReplacementTest, StepAfterEachRefusal) {
    using Step = tavo::ftp::PageReplaceStep;
    const struct {
        Step refused;
        bool renameSeen;
        bool oldPageListed;
        Step next;
    } cases[] = {
        {Step::Rename, false, true, Step::StoreUnderName},
        {Step::Rename, false, false, Step::StoreUnderName},
        {Step::Rename, true, false, Step::StoreUnderName},
        {Step::Rename, true, true, Step::DeleteOldThenRename},
        {Step::DeleteOldThenRename, true, true, Step::StoreUnderName},
        {Step::StoreUnderName, true, true, Step::KeepPartial},
        {Step::StoreUnderName, false, false, Step::KeepPartial},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tavo::ftp::StepAfterRefusal(c.refused, c.renameSeen, c.oldPageListed), c.next)
            << static_cast<int>(c.refused) << c.renameSeen << c.oldPageListed;
}

TEST(PageReplacementTest, LeftoversAreTheOtherTemporaryCopies) {
    EXPECT_EQ(tavo::ftp::LeftoverPartialPages(
                  {"200912.html.tavo-part", "202601.html", "202601.html.tavo-part", ".tavo-part",
                   "a.tavo-part.html", "b.html.TAVO-PART"},
                  "202601.html.tavo-part"),
              std::vector<std::string>{"200912.html.tavo-part"});
}

// The rename key joins the existing ones in their format; a server known for nothing but
// renaming gets a section of its own.
TEST(FtpTrustStoreTest, RemembersRenamingBesideTheCertificate) {
    TempFolder folder;
    const auto file = folder.path() / "ftp-trust.ini";
    WriteAll(file, "[a:21]\r\ntls=yes\r\ncertificate=AB:CD\r\n");
    tavo::ftp::FtpTrustStore store;
    std::string error;
    ASSERT_TRUE(store.Read(file, &error)) << error;
    tavo::ftp::ServerTrust a = store.Get("a:21");
    EXPECT_FALSE(a.renameSeen);
    a.renameSeen = true;
    store.Set("a:21", a);
    store.Set("b:2121", tavo::ftp::ServerTrust{"", false, true});
    ASSERT_TRUE(store.Write(file, &error)) << error;
    EXPECT_EQ(ReadAll(file),
              "[a:21]\r\ntls=yes\r\ncertificate=AB:CD\r\nrename=yes\r\n[b:2121]\r\nrename=yes\r\n");
    ASSERT_TRUE(store.Read(file, &error)) << error;
    EXPECT_EQ(store.Get("a:21"), a);
    EXPECT_TRUE(store.Get("b:2121").renameSeen);
}

struct QueueCase {
    const char* name;
    QString page;
    bool overwrite;
    QStringList queue;
    QStringList refused;
};

void PrintTo(const QueueCase& c, std::ostream* os) {
    *os << c.name;
}

class ImageQueueTest : public testing::TestWithParam<QueueCase> {};

// Local images: a.png, B.gif, d.jpg; the server already has d.jpg.
TEST_P(ImageQueueTest, TakesEachExistingImageOnceInOrderOfFirstReference) {
    const QStringList local = {"a.png", "B.gif", "d.jpg"};
    tavo::ftp::ImageQueueRules rules;
    rules.existsLocally = [&](const QString& name) { return local.contains(name); };
    rules.existsRemotely = [](const QString& name) {
        return name.compare(QStringLiteral("D.JPG"), Qt::CaseInsensitive) == 0;
    };
    rules.overwrite = GetParam().overwrite;
    QStringList refused;
    EXPECT_EQ(tavo::ftp::BuildImageQueue(GetParam().page, rules, &refused), GetParam().queue);
    EXPECT_EQ(refused, GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ImageQueueTest,
    testing::Values(
        QueueCase{"none", "<p>no images</p>", false, {}, {}},
        QueueCase{
            "order_of_first_reference",
            "<img src=\"tavo-img/B.gif\"><img src=\"tavo-img/a.png\"><img src=\"tavo-img/B.gif\">",
            false,
            {"B.gif", "a.png"},
            {}},
        // A second reference in other letters is the same image; the first spelling counts.
        QueueCase{
            "letter_case", "src=\"tavo-img/B.gif\" src=\"tavo-img/b.GIF\"", false, {"B.gif"}, {}},
        QueueCase{"missing_locally",
                  "src=\"tavo-img/c.jpg\" src=\"tavo-img/a.png\"",
                  false,
                  {"a.png"},
                  {}},
        QueueCase{"already_on_server",
                  "src=\"tavo-img/d.jpg\" src=\"tavo-img/a.png\"",
                  false,
                  {"a.png"},
                  {}},
        QueueCase{"overwrite",
                  "src=\"tavo-img/d.jpg\" src=\"tavo-img/a.png\"",
                  true,
                  {"d.jpg", "a.png"},
                  {}},
        QueueCase{"exact_attribute_only",
                  "SRC=\"tavo-img/a.png\" src='tavo-img/a.png' "
                  "src=\"./tavo-img/a.png\"",
                  false,
                  {},
                  {}},
        QueueCase{"no_closing_quote", "src=\"tavo-img/a.png", false, {}, {}},
        QueueCase{
            "outside_the_folder",
            "src=\"tavo-img/../tavo.ini\" src=\"tavo-img/sub/a.png\" src=\"tavo-img/C:a.png\" "
            "src=\"tavo-img/..\" src=\"tavo-img/a.png\"",
            false,
            {"a.png"},
            {"../tavo.ini", "sub/a.png", "C:a.png", ".."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageQueueTest, PlainNames) {
    for (const char* good : {"20040105_1.gif", "a b.png", "日記.jpg", "x..y"})
        EXPECT_TRUE(tavo::ftp::IsPlainImageName(QString::fromUtf8(good))) << good;
    for (const char* bad : {"", ".", "..", "../a", "a/b", "a\\b", "C:x", "a\tb", "a\nb"})
        EXPECT_FALSE(tavo::ftp::IsPlainImageName(QString::fromUtf8(bad))) << bad;
}

}  // namespace
