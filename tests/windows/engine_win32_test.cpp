// The engine's Windows parts on the real system calls (under Wine in CI):
// files, names, GDI bitmaps and fonts, and the nine functions end to end.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/pelm32.h"
#include "pelm32/core/bitmap.h"
#include "pelm32/core/document.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/font_source.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/paper.h"
#include "pelm32/core/pdf_output.h"
#include "pelm32/core/settings.h"
#include "pelm32/core/spool.h"
#include "pelm32/pdf/sfnt.h"

namespace {

namespace fs = std::filesystem;
using pelm32::native::PartFile;

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The folder this test program is in, where the build put the two bitmaps.
fs::path ProgramFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

class EngineWin32Test : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        do {
            folder_ = fs::temp_directory_path() / ("engine_win32_test." + std::to_string(random()));
        } while (!fs::create_directory(folder_));
        _putenv_s("PELM32_PREVIEW", "0");
    }
    void TearDown() override {
        pelm32::SetFailureSeam(nullptr);
        for (const char* variable : {"PELM32_OUTPUT_DIR", "PELM32_PAPER", "TMP"}) {
            _putenv_s(variable, "");  // removes it
        }
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path folder_;
};

TEST_F(EngineWin32Test, FileNamesLoseWhatWindowsForbidsInThem) {
    EXPECT_EQ(pelm32::OutputFileName("a\\b/c:d*e?f\"g<h>i|j\x01k", 1), "a_b_c_d_e_f_g_h_i_j_k.pdf");
    EXPECT_EQ(pelm32::OutputFileName("..Report", 2), "Report (2).pdf");
    // Device names, whatever their case or what follows a dot, are no files.
    const struct {
        const char* title;
        const char* file;
    } devices[] = {{"CON", "_CON.pdf"},    {"nul", "_nul.pdf"},         {"Com1", "_Com1.pdf"},
                   {"LPT9", "_LPT9.pdf"},  {"aux.log", "_aux.log.pdf"}, {"PRN  .x", "_PRN  .x.pdf"},
                   {"COM10", "COM10.pdf"}, {"Console", "Console.pdf"}};
    for (const auto& device : devices) {
        EXPECT_EQ(pelm32::OutputFileName(device.title, 1), device.file) << device.title;
    }
}

TEST_F(EngineWin32Test, TheSpoolFileIsGoneOnceClosed) {
    _putenv_s("TMP", folder_.string().c_str());
    {
        pelm32::SpoolFile spool;
        ASSERT_TRUE(spool.Good()) << pelm32::native::ErrorText(spool.Error());
        EXPECT_EQ(pelm32::SpoolFile::Folder(), folder_.string());
        const std::string record(3 << 20, 'r');  // past the write buffer
        spool.Append(record.data(), record.size());
        spool.AppendValue(uint32_t{0x12345678});
        ASSERT_TRUE(spool.Flush());
        EXPECT_EQ(Entries(folder_).size(), 1u);
        uint32_t value = 0;
        int error = 0;
        ASSERT_TRUE(spool.ReadAt(record.size(), &value, sizeof value, error));
        EXPECT_EQ(value, 0x12345678u);
        EXPECT_FALSE(spool.ReadAt(record.size(), &value, sizeof value + 1, error));
        EXPECT_EQ(error, ERROR_HANDLE_EOF);
    }
    EXPECT_TRUE(Entries(folder_).empty());
}

TEST_F(EngineWin32Test, APartFileGetsItsNameOnlyWhenNoFileHasIt) {
    const std::string taken = (folder_ / "taken.pdf").string();
    std::ofstream(taken) << "first";
    {
        PartFile part(folder_.string());
        ASSERT_TRUE(part.Good());
        ASSERT_TRUE(part.Write("second", 6));
        ASSERT_TRUE(part.Sync());
        EXPECT_EQ(part.GiveName(taken), PartFile::Naming::Taken);
        EXPECT_EQ(Contents(taken), "first");
        EXPECT_EQ(part.GiveName((folder_ / "free.pdf").string()), PartFile::Naming::Named);
    }
    EXPECT_EQ(Contents(folder_ / "free.pdf"), "second");
    EXPECT_EQ(Entries(folder_).size(), 2u);
    {
        PartFile abandoned(folder_.string());
        ASSERT_TRUE(abandoned.Write("never named", 11));
    }
    EXPECT_EQ(Entries(folder_).size(), 2u) << "an abandoned part file stays behind";
}

TEST_F(EngineWin32Test, BitmapsDecodeThroughGdiAndBrokenOnesSayWhy) {
    struct Case {
        const char* name;
        uint32_t width;
        uint32_t height;
    };
    for (const Case& c : {Case{"Logo.bmp", 150, 150}, Case{"watermark.bmp", 100, 100}}) {
        pelm32::Bitmap bitmap;
        std::string why;
        ASSERT_TRUE(pelm32::DecodeBitmapFile((ProgramFolder() / c.name).string(), bitmap, why))
            << c.name << ": " << why;
        EXPECT_EQ(bitmap.width, c.width) << c.name;
        EXPECT_EQ(bitmap.height, c.height) << c.name;
        EXPECT_EQ(bitmap.rgb.size(), size_t{c.width} * c.height * 3) << c.name;
        EXPECT_TRUE(bitmap.alpha.empty()) << c.name << " is opaque";
    }
    const std::string broken = (folder_ / "broken.bmp").string();
    std::ofstream(broken, std::ios::binary) << "BM not really a bitmap";
    for (const std::string& path : {broken, (folder_ / "missing.bmp").string()}) {
        pelm32::Bitmap bitmap;
        std::string why;
        EXPECT_FALSE(pelm32::DecodeBitmapFile(path, bitmap, why)) << path;
        EXPECT_FALSE(why.empty()) << path;
    }
}

TEST_F(EngineWin32Test, CourierNewIsAFaceWithTrueTypeOutlinesReadBackFromGdi) {
    pelm32::FontFileRef face;
    ASSERT_TRUE(pelm32::MakeFontSource()->FindFaceFile("Courier New", face));
    std::string why;
    const std::unique_ptr<pelm32::FontBytes> bytes = pelm32::ReadFontFile(face.path, why);
    ASSERT_NE(bytes, nullptr) << why;
    pelm32::pdf::SfntFace sfnt;
    ASSERT_TRUE(sfnt.Load(bytes->Data(), bytes->Size(), face.index, why)) << why;
    EXPECT_NE(sfnt.Glyph(U'A'), 0) << face.family;
    EXPECT_NE(sfnt.Glyph(U'\u20AC'), 0) << face.family << " lacks the euro sign";
}

TEST_F(EngineWin32Test, CharactersTheFaceLacksComeFromFacesThatHaveThem) {
    const std::unique_ptr<pelm32::FontSource> source = pelm32::MakeFontSource();
    pelm32::FontFileRef courier;
    ASSERT_TRUE(source->FindFaceFile("Courier New", courier));
    for (const char32_t character : {U'\u4E2D', U'\u2603'}) {
        const std::vector<pelm32::FontFileRef> faces =
            source->FindFacesFor("Courier New", character);
        ASSERT_FALSE(faces.empty()) << "no face has U+" << std::hex << unsigned(character);
        for (const pelm32::FontFileRef& face : faces) {
            EXPECT_NE(face.family, courier.family);
        }
        std::string why;
        const auto bytes = pelm32::ReadFontFile(faces.front().path, why);
        ASSERT_NE(bytes, nullptr) << why;
        pelm32::pdf::SfntFace sfnt;
        ASSERT_TRUE(sfnt.Load(bytes->Data(), bytes->Size(), faces.front().index, why)) << why;
        EXPECT_NE(sfnt.Glyph(character), 0) << faces.front().family;
    }
}

TEST_F(EngineWin32Test, TheNineFunctionsWriteOnePdfIntoTheOutputFolder) {
    _putenv_s("PELM32_OUTPUT_DIR", folder_.string().c_str());
    for (int copy = 1; copy <= 2; ++copy) {
        const int32_t doc = pmStartDoc(0, "Quarterly: Q3?", nullptr, 0, 1, 0, 7, 8);
        ASSERT_GT(doc, 0);
        pmFont(doc, 0, 10, 0, "Courier New");
        pmText(doc, 1, 1, 0, "caf\xC3\xA9 \x80 5");
        pmNewPage(doc, 1, 0, 7);
        pmPageNo(doc, 7, 10, 0, 0);
        pmFinishDoc(doc, 0);
    }
    const std::vector<std::string> names = Entries(folder_);
    ASSERT_EQ(names, (std::vector<std::string>{"Quarterly_ Q3_ (2).pdf", "Quarterly_ Q3_.pdf"}));
    const std::string pdf = Contents(folder_ / names[1]);
    EXPECT_EQ(pdf.rfind("%PDF-1.7", 0), 0u);
    EXPECT_NE(pdf.find("%%EOF", pdf.size() - 8), std::string::npos);
}

TEST_F(EngineWin32Test, ALongTitleStillGivesAPdfWithinThePathLimit) {
    _putenv_s("PELM32_OUTPUT_DIR", folder_.string().c_str());
    const std::string title(300, 'T');
    for (int copy = 1; copy <= 2; ++copy) {
        const int32_t doc = pmStartDoc(0, title.c_str(), nullptr, 0, 1, 0, 7, 8);
        ASSERT_GT(doc, 0);
        pmFinishDoc(doc, 0);
    }
    const std::vector<std::string> names = Entries(folder_);
    ASSERT_EQ(names.size(), 2u);
    for (const std::string& name : names) {
        EXPECT_EQ(name.rfind("TTTT", 0), 0u) << name;
        EXPECT_LT((folder_ / name).wstring().size(), size_t{MAX_PATH}) << name;
    }
}

TEST_F(EngineWin32Test, AMissingOutputFolderWritesNothingAndSaysWhereAndWhy) {
    const std::string missing = (folder_ / "nowhere").string();
    _putenv_s("PELM32_OUTPUT_DIR", missing.c_str());
    std::vector<std::string> told;
    pelm32::SetFailureSeam([&told](const std::string& text) { told.push_back(text); });
    const int32_t doc = pmStartDoc(0, "Lost", nullptr, 0, 1, 0, 7, 8);
    ASSERT_GT(doc, 0);
    pmFinishDoc(doc, 0);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("no PDF written: cannot create a file in \"" + missing + "\": "),
              std::string::npos)
        << told[0];
    EXPECT_TRUE(Entries(folder_).empty());
}

TEST_F(EngineWin32Test, PaperFollowsTheSettingFirst) {
    _putenv_s("PELM32_PAPER", "letter");
    EXPECT_STREQ(pelm32::ChoosePaper(pelm32::ReadSettings()).name, "Letter");
    _putenv_s("PELM32_PAPER", "A4");
    EXPECT_STREQ(pelm32::ChoosePaper(pelm32::ReadSettings()).name, "A4");
}

}  // namespace
