// Disc images read without mounting: names as the kernel shows them, links, cut images, detection.
#include "platform/image/DiscImage.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "platform/image/ImageDrives.h"
#include "support/DiscImage.h"
#include "support/TempTree.h"

namespace korvane {
namespace {

using test::PatternBytes;
using test::TempTree;

using Row = std::tuple<std::string, bool, std::uint64_t>;

const std::string kLongName(80, 'n');  // past Joliet's 64 characters

class DiscImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        KORVANE_REQUIRE_DISC_TOOLS();
        tree.WritePattern("DATA/A.BIN", 300000, 3);
        tree.WriteFile("DATA/Mixed Case.txt", "mixed");
        tree.WriteFile("日本語のファイル.txt", "こんにちは");
        tree.WriteFile(kLongName + ".txt", "long");
        tree.MakeFolder("EMPTY");
        ASSERT_EQ(symlink("DATA/A.BIN", tree.Host("LINK").c_str()), 0);
        ASSERT_EQ(symlink("/etc/hostname", tree.Host("DATA/OUTSIDE").c_str()), 0);
    }

    std::string Build(test::DiscFormat format, const std::string& name = "disc.img") {
        const std::string image = out.Host(name);
        test::BuildImage(tree.root(), image, "MY_LABEL", format);
        return image;
    }

    std::vector<Row> Listing(const std::string& folder, bool expectOk = true) {
        std::vector<DirEntry> entries;
        EXPECT_EQ(fs->ListFolder(folder, entries), expectOk) << folder;
        std::vector<Row> rows;
        for (const auto& e : entries) rows.emplace_back(e.name, e.isFolder, e.size);
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    std::string ReadAll(const std::string& path, bool* failed = nullptr) {
        auto file = fs->Open(path, ShareMode::Exclusive);
        EXPECT_NE(file, nullptr) << path;
        if (!file) return {};
        std::string data(file->Size(), '\0');
        std::size_t got = 0;
        while (got < data.size()) {
            const std::size_t n =
                file->Read(data.data() + got, std::min<std::size_t>(65536, data.size() - got));
            if (n == 0) break;
            got += n;
        }
        if (failed) *failed = got < data.size();
        if (got < data.size()) {
            char byte;
            EXPECT_EQ(file->Read(&byte, 1), 0u) << "a read after a failure delivers nothing";
        }
        data.resize(got);
        return data;
    }

    void Use(const std::string& image) {
        std::string error;
        ASSERT_TRUE(images.Add('q', image, error)) << error;
    }

    TempTree tree;
    TempTree out;
    DriveMap drives;
    ImageDrives images;
    std::unique_ptr<FileSystem> fs = MakeImageAwareFileSystem(drives, images);
};

TEST_F(DiscImageTest, ShowsRockRidgeNamesSizesFoldersAndLinks) {
    Use(Build(test::DiscFormat::JolietRockRidge));
    EXPECT_EQ(images.Image('Q')->VolumeId(), "MY_LABEL");
    EXPECT_EQ(Listing("Q:\\"), (std::vector<Row>{{"DATA", true, 0},
                                                 {"EMPTY", true, 0},
                                                 {"LINK", false, 0},
                                                 {kLongName + ".txt", false, 4},
                                                 {"日本語のファイル.txt", false, 15}}));
    EXPECT_EQ(Listing("Q:\\DATA\\"),
              (std::vector<Row>{
                  {"A.BIN", false, 300000}, {"Mixed Case.txt", false, 5}, {"OUTSIDE", false, 0}}));
    // Links are listed as links with their targets, as a mount of the disc lists them.
    std::vector<DirEntry> data;
    ASSERT_TRUE(fs->ListFolder("Q:\\DATA\\", data));
    const auto outside = std::find_if(data.begin(), data.end(),
                                      [](const DirEntry& e) { return e.name == "OUTSIDE"; });
    ASSERT_NE(outside, data.end());
    EXPECT_EQ(outside->kind, EntryKind::Link);
    EXPECT_EQ(outside->linkTarget, "/etc/hostname");
    EXPECT_EQ(fs->LinkTarget("Q:\\LINK"), "DATA/A.BIN");
    EXPECT_EQ(fs->LinkTarget("Q:\\DATA\\A.BIN"), std::nullopt);
    EXPECT_EQ(Listing("Q:\\EMPTY\\"), std::vector<Row>{});
    EXPECT_EQ(ReadAll("Q:\\DATA\\A.BIN"), PatternBytes(300000, 3));
    EXPECT_EQ(ReadAll("Q:\\日本語のファイル.txt"), "こんにちは");
    EXPECT_EQ(fs->SizeOf("Q:\\DATA\\A.BIN"), 300000u);
    // A link is never followed, not even to a file of the disc.
    EXPECT_FALSE(fs->FileExists("Q:\\LINK"));
    EXPECT_EQ(fs->Open("Q:\\DATA\\OUTSIDE", ShareMode::Read), nullptr);
    EXPECT_FALSE(fs->FileExists("Q:\\DATA\\"));
    EXPECT_EQ(fs->Open("Q:\\DATA\\..\\LINK", ShareMode::Read), nullptr);
    Listing("Q:\\MISSING\\", false);
    Listing("Q:\\DATA\\A.BIN\\", false);
}

TEST_F(DiscImageTest, FallsBackToJolietThenToBareNamesInLowerCase) {
    Use(Build(test::DiscFormat::JolietOnly));
    const std::vector<Row> joliet = Listing("Q:\\");
    ASSERT_EQ(joliet.size(), 4u);  // without Rock Ridge there are no links
    EXPECT_EQ(std::get<0>(joliet[0]), "DATA");
    EXPECT_LT(std::get<0>(joliet[2]).size(), kLongName.size());  // cut to Joliet's length
    EXPECT_EQ(std::get<0>(joliet[3]), "日本語のファイル.txt");

    images.Clear();
    Use(Build(test::DiscFormat::Plain, "plain.img"));
    const std::vector<Row> data = Listing("Q:\\data\\");
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0], (Row{"a.bin", false, 300000}));
    EXPECT_EQ(ReadAll("Q:\\data\\a.bin"), PatternBytes(300000, 3));
}

TEST_F(DiscImageTest, ACutImageFailsReadsAsADamagedDiscDoes) {
    const std::string whole = Build(test::DiscFormat::JolietRockRidge);
    const test::ImageExtent a = test::FileExtent(whole, "/DATA/A.BIN");
    const std::uint64_t cut = a.Start() + 100000;
    test::CutImage(whole, out.Host("cut.img"), cut);
    Use(out.Host("cut.img"));

    bool failed = false;
    EXPECT_EQ(ReadAll("Q:\\DATA\\A.BIN", &failed), PatternBytes(100000, 3));
    EXPECT_TRUE(failed);
    // Every file whose data lies past the cut is a read error from its first byte.
    for (const test::ImageFile& f : test::ImageFiles(whole)) {
        if (f.extent.Start() < cut || f.extent.bytes == 0) continue;
        std::string path = "Q:" + f.path;
        std::replace(path.begin(), path.end(), '/', '\\');
        failed = false;
        EXPECT_EQ(ReadAll(path, &failed), "") << path;
        EXPECT_TRUE(failed) << path;
    }
}

// A UDF disc is read as a drive like an ISO 9660 one, and fails past a cut as a damaged disc does.
TEST_F(DiscImageTest, AUdfImageIsReadAsADriveAndFailsPastItsCut) {
    KORVANE_REQUIRE(test::UdfToolsProblem());
    tree.WritePattern("LATE/Z.BIN", 50000, 9);
    // Made a link after the image is written: "..", "DATA", "A.BIN" as path components.
    const std::string components(
        "\x03\0\0\0\x05\x05\0\0\x08"
        "DATA\x05\x06\0\0\x08"
        "A.BIN",
        23);
    tree.WriteFile("DATA/UP", components);
    const std::string whole = Build(test::DiscFormat::Udf);
    test::MakeUdfLink(whole, components.size());
    EXPECT_EQ(DetectImage(whole), ImageKind::Udf);
    Use(whole);
    EXPECT_EQ(images.Image('Q')->VolumeId(), "MY_LABEL");
    // The tool that writes it leaves links out; UP is made one.
    EXPECT_EQ(Listing("Q:\\"), (std::vector<Row>{{"DATA", true, 0},
                                                 {"EMPTY", true, 0},
                                                 {"LATE", true, 0},
                                                 {kLongName + ".txt", false, 4},
                                                 {"日本語のファイル.txt", false, 15}}));
    EXPECT_EQ(Listing("Q:\\DATA\\"),
              (std::vector<Row>{
                  {"A.BIN", false, 300000}, {"Mixed Case.txt", false, 5}, {"UP", false, 0}}));
    EXPECT_EQ(fs->LinkTarget("Q:\\DATA\\UP"), "../DATA/A.BIN");
    EXPECT_EQ(Listing("Q:\\EMPTY\\"), std::vector<Row>{});
    EXPECT_EQ(ReadAll("Q:\\DATA\\A.BIN"), PatternBytes(300000, 3));
    EXPECT_EQ(ReadAll("Q:\\日本語のファイル.txt"), "こんにちは");

    std::string bytes;
    ASSERT_TRUE(fs->ReadWhole(whole, bytes));
    const std::size_t a = bytes.find(PatternBytes(4096, 3));
    const std::size_t z = bytes.find(PatternBytes(4096, 9));
    ASSERT_NE(a, std::string::npos);
    ASSERT_NE(z, std::string::npos);
    ASSERT_GT(z, a + 100000);
    test::CutImage(whole, out.Host("cut.img"), a + 100000);
    images.Clear();
    Use(out.Host("cut.img"));
    bool failed = false;
    EXPECT_EQ(ReadAll("Q:\\DATA\\A.BIN", &failed), PatternBytes(100000, 3));
    EXPECT_TRUE(failed);
    failed = false;
    EXPECT_EQ(ReadAll("Q:\\LATE\\Z.BIN", &failed), "");
    EXPECT_TRUE(failed);
}

// The boot catalog is a file in the kernel's listing, though the library keeps it apart.
TEST_F(DiscImageTest, TheBootCatalogOfABootableDiscIsAFile) {
    tree.WritePattern("boot.img", 2048, 5);
    const std::string image = out.Host("boot.img");
    int status = -1;
    const std::string log =
        test::RunHost("xorriso -as mkisofs -R -J -b boot.img -no-emul-boot -c boot.cat -o " +
                          test::ShellQuote(image) + " " + test::ShellQuote(tree.root()) + " 2>&1",
                      &status);
    ASSERT_EQ(status, 0) << log;
    Use(image);
    EXPECT_EQ(fs->SizeOf("Q:\\boot.cat"), 2048u);
    // The El Torito boot record at sector 17 says where the catalog lies.
    FILE* f = std::fopen(image.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char lba[4] = {};
    std::fseek(f, 17 * 2048 + 0x47, SEEK_SET);
    ASSERT_EQ(std::fread(lba, 1, 4, f), 4u);
    const long at = (lba[0] | lba[1] << 8 | lba[2] << 16 | long{lba[3]} << 24) * 2048;
    std::string raw(2048, '\0');
    std::fseek(f, at, SEEK_SET);
    ASSERT_EQ(std::fread(raw.data(), 1, raw.size(), f), raw.size());
    std::fclose(f);
    EXPECT_EQ(ReadAll("Q:\\boot.cat"), raw);
}

// A zisofs file is read decompressed, as the kernel shows it; a cut in its blocks is a read error.
TEST_F(DiscImageTest, ACompressedFileReadsAsTheKernelShowsIt) {
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + " of a long text\n";
    tree.WriteFile("TEXT.TXT", text);
    const std::string whole = out.Host("zisofs.img");
    int status = -1;
    const std::string log = test::RunHost("xorriso -outdev " + test::ShellQuote(whole) + " -map " +
                                              test::ShellQuote(tree.root()) +
                                              " / -set_filter_r --zisofs / -- -commit 2>&1",
                                          &status);
    ASSERT_EQ(status, 0) << log;
    Use(whole);
    EXPECT_EQ(fs->SizeOf("Q:\\TEXT.TXT"), text.size());
    EXPECT_EQ(ReadAll("Q:\\TEXT.TXT"), text);

    const test::ImageExtent at = test::FileExtent(whole, "/TEXT.TXT");
    test::CutImage(whole, out.Host("cut.img"), at.Start() + 20000);
    images.Clear();
    Use(out.Host("cut.img"));
    bool failed = false;
    const std::string part = ReadAll("Q:\\TEXT.TXT", &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(part, text.substr(0, part.size()));
}

// ISO level 3 keeps a file over 4 GiB in several extents, one after the other in the file.
TEST_F(DiscImageTest, AFileInSeveralExtentsIsReadWhole) {
    TempTree big;
    const std::uint64_t size = (std::uint64_t{4} << 30) + 5000;
    // The image holds the file's zeros written out: it needs the room.
    std::error_code ec;
    if (std::filesystem::space(out.root(), ec).available < size + (std::uint64_t{1} << 30)) {
        GTEST_SKIP() << "no room for a disc image of " << size << " bytes in " << out.root();
    }
    big.WriteSparse("HUGE.BIN", size);
    {
        FILE* f = std::fopen(big.Host("HUGE.BIN").c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fseek(f, static_cast<long>(size - 4), SEEK_SET);
        std::fputs("tail", f);
        std::fclose(f);
    }
    const std::string image = out.Host("big.img");
    test::BuildImage(big.root(), image, "BIG", test::DiscFormat::Level3);
    std::filesystem::remove(big.Host("HUGE.BIN"));
    Use(image);
    ASSERT_EQ(images.Image('Q')->Find("HUGE.BIN")->extents.size(), 2u);
    EXPECT_EQ(fs->SizeOf("Q:\\HUGE.BIN"), size);
    auto file = fs->Open("Q:\\HUGE.BIN", ShareMode::Read);
    ASSERT_NE(file, nullptr);
    std::vector<char> buffer(1 << 20);
    std::uint64_t got = 0;
    std::string last;
    while (const std::size_t n = file->Read(buffer.data(), buffer.size())) {
        got += n;
        last.assign(buffer.data() + n - 4, 4);
    }
    EXPECT_EQ(got, size);
    EXPECT_EQ(last, "tail");
    images.Clear();
    std::filesystem::remove(image);
}

// A folder whose records lie past the cut could only be listed as empty: the disc is refused.
TEST_F(DiscImageTest, AnImageCutInsideItsDirectoryIsRefusedNotShownEmpty) {
    for (int i = 0; i < 200; ++i)
        tree.WriteFile("MANY/FILE_WITH_A_LONG_NAME_" + std::to_string(i), "x");
    const std::string whole = Build(test::DiscFormat::RockRidgeOnly);
    const test::ImageExtent many = test::FolderExtent(whole, "/MANY");
    test::CutImage(whole, out.Host("cut.img"), many.Start() + 2048);
    std::string error;
    EXPECT_FALSE(images.Add('Q', out.Host("cut.img"), error));
    EXPECT_NE(error.find("the disc's directory cannot be read"), std::string::npos) << error;
}

TEST_F(DiscImageTest, TellsImagesByTheirContentNotTheirName) {
    const std::string image = Build(test::DiscFormat::Plain, "disc.txt");
    EXPECT_EQ(DetectImage(image), ImageKind::Iso9660);
    EXPECT_EQ(DetectImage(out.WriteFile("text.iso", std::string(40000, 'x'))), ImageKind::None);
    EXPECT_EQ(DetectImage(out.Host("missing.iso")), ImageKind::None);
    std::string error;
    EXPECT_FALSE(images.Add('R', out.Host("text.iso"), error));
    EXPECT_NE(error.find("not a disc image"), std::string::npos) << error;

    // A UDF image is known for what it is; of a revision the reader does not know, it is refused
    // plainly rather than read wrongly or taken for a damaged disc.
    int status = -1;
    const std::string udf = out.Host("udf.img");
    const std::string older = out.Host("udf150.img");
    test::RunHost("truncate -s 4M " + udf + " " + older + " && mkudffs -b 2048 " + udf +
                      " >/dev/null 2>&1 && mkudffs -b 2048 -r 0x0150 -l OLDER " + older +
                      " >/dev/null 2>&1",
                  &status);
    if (status != 0) {
        if (test::UnderCi()) ADD_FAILURE() << "mkudffs (udftools) is missing";
        return;
    }
    EXPECT_EQ(DetectImage(udf), ImageKind::Udf);
    EXPECT_FALSE(images.Add('R', udf, error));
    EXPECT_NE(error.find("UDF discs of revision 2.00 and later are not read yet"),
              std::string::npos)
        << error;
    // Its root folder lies inside the root's file entry, where the reader lists nothing.
    EXPECT_FALSE(images.Add('S', older, error));
    EXPECT_NE(error.find("this UDF disc keeps its folders in a form not read yet"),
              std::string::npos)
        << error;
}

}  // namespace
}  // namespace korvane
