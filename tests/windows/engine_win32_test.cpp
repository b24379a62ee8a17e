// The engine's Windows parts on the real system calls (under Wine in CI):
// files, names, GDI bitmaps and fonts, the GDI page painter against
// poppler's rendering of the PDF, and the nine functions end to end.
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
#include "pelm32/core/document_pdf.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/font_source.h"
#include "pelm32/core/native_file.h"
#include "pelm32/core/paper.h"
#include "pelm32/core/pdf_output.h"
#include "pelm32/core/settings.h"
#include "pelm32/core/spool.h"
#include "pelm32/pdf/byte_sink.h"
#include "pelm32/pdf/sfnt.h"
#include "pelm32/win32/page_painter_gdi.h"
#include "tests/pelm32/raster_agreement.h"

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

// The Linux path of a Windows one, where Wine runs this program; empty elsewhere.
std::string UnixPath(const fs::path& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = toUnix != nullptr ? toUnix(path.wstring().c_str()) : nullptr;
    const std::string found = unix != nullptr ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    return found;
}

// Page (1-based) of a PDF rasterised by poppler on the Linux side at 72 dpi.
// Wine starts Linux programs but cannot wait for them: a file made when
// poppler is done tells.
raster_agreement::Gray PopplerPage(const fs::path& pdf, int page) {
    const fs::path stem = pdf.parent_path() / "poppler";
    const fs::path done = pdf.parent_path() / "poppler.done";
    fs::remove(done);
    const std::string script = "pdftoppm -gray -r 72 -singlefile -f " + std::to_string(page) +
                               " -l " + std::to_string(page) + " '" + UnixPath(pdf) + "' '" +
                               UnixPath(stem) + "'; touch '" + UnixPath(pdf.parent_path()) +
                               "/poppler.done'";
    std::wstring command = L"sh -c \"" + fs::path(script).wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return {};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int wait = 0; wait < 600 && !fs::exists(done); ++wait) {
        Sleep(50);
    }
    return raster_agreement::ReadPgm(stem.string() + ".pgm");
}

// GDI hints its glyphs (there is no asking it not to) and puts baselines on
// whole pixels: measured under Wine, the same page differs by 0.22 to 0.38,
// the same page two points to the side by 0.55 and more, another page by 1.8.
constexpr double kGdiLimit = 0.45;

// A page painted by GDI into a DIB section of like's size at 72 dpi, as
// grey, its left edge shifted by some points.
raster_agreement::Gray GdiPage(const pelm32::Document& document, int index,
                               const raster_agreement::Gray& like, double shiftPoints = 0) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = like.width;
    format.bmiHeader.biHeight = -like.height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(dc, section);
    PatBlt(dc, 0, 0, like.width, like.height, WHITENESS);
    pelm32::GdiPagePainter painter(document);
    EXPECT_TRUE(painter.Paint(dc, index, shiftPoints, 0, 1.0));
    GdiFlush();
    raster_agreement::Gray gray{like.width, like.height, {}};
    const auto* pixel = static_cast<const uint8_t*>(bits);
    for (int at = 0; at < like.width * like.height; ++at, pixel += 4) {
        gray.pixels.push_back(
            static_cast<uint8_t>((pixel[2] * 11 + pixel[1] * 16 + pixel[0] * 5) / 32));
    }
    SelectObject(dc, old);
    DeleteObject(section);
    DeleteDC(dc);
    return gray;
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

// In a prefix without Courier New, as users have it: the font mapper's
// fixed-pitch face stands in.
TEST_F(EngineWin32Test, CourierNewIsAFixedPitchFaceWithTrueTypeOutlinesReadBackFromGdi) {
    pelm32::FontFileRef face;
    ASSERT_TRUE(pelm32::MakeFontSource()->FindFaceFile("Courier New", face));
    std::string why;
    const std::unique_ptr<pelm32::FontBytes> bytes = pelm32::ReadFontFile(face.path, why);
    ASSERT_NE(bytes, nullptr) << why;
    pelm32::pdf::SfntFace sfnt;
    ASSERT_TRUE(sfnt.Load(bytes->Data(), bytes->Size(), face.index, why)) << why;
    EXPECT_NE(sfnt.Glyph(U'A'), 0) << face.family;
    EXPECT_NE(sfnt.Glyph(U'\u20AC'), 0) << face.family << " lacks the euro sign";
    EXPECT_TRUE(sfnt.FixedPitch()) << face.family;
}

TEST_F(EngineWin32Test, CharactersTheFaceLacksComeFromFacesThatHaveThem) {
    const std::unique_ptr<pelm32::FontSource> source = pelm32::MakeFontSource();
    pelm32::FontFileRef courier;
    ASSERT_TRUE(source->FindFaceFile("Courier New", courier));
    // CJK, a symbol, and an emoji beyond the Basic Multilingual Plane.
    for (const char32_t character : {U'\u4E2D', U'\u2603', U'\U0001F600'}) {
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

TEST_F(EngineWin32Test, GdiPainterAndPdfAgreeOnFurnitureAndTextInAnyScript) {
    if (UnixPath(folder_).empty()) {
        GTEST_SKIP() << "poppler is reached through Wine only";
    }
    pelm32::Document document("Painted", pelm32::kA4);
    const int32_t logo = document.AddGraphic((ProgramFolder() / "Logo.bmp").string().c_str());
    const int32_t watermark =
        document.AddGraphic((ProgramFolder() / "watermark.bmp").string().c_str());
    raster_agreement::FurnishedPage(document, logo, watermark);
    document.NewPage();
    const char* scripts[] = {
        "Windows-1252: Gr\xFC\xDF"
        "e \x80 \x93quoted\x94",
        "Greek \xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1",
        "Shaped \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 "
        "\xE0\xA4\xA8\xE0\xA4\xAE\xE0\xA4\xB8\xE0\xA5\x8D\xE0\xA4\xA4\xE0\xA5\x87",
        "CJK \xE4\xB8\xAD\xE6\x96\x87 box \xF3\xA0\x80\x80",
    };
    raster_agreement::TextsAtTwoSizes(document, scripts);
    ASSERT_TRUE(document.Finish());
    pelm32::pdf::MemorySink sink;
    std::string why;
    ASSERT_TRUE(pelm32::WriteDocumentPdf(document, sink, why)) << why;
    const fs::path pdf = folder_ / "pages.pdf";
    std::ofstream(pdf, std::ios::binary) << sink.bytes;

    for (int index = 0; index < document.PageTotal(); ++index) {
        const raster_agreement::Gray poppler = PopplerPage(pdf, index + 1);
        ASSERT_GT(poppler.width, 200) << "poppler drew nothing for page " << index + 1;
        const auto same = raster_agreement::Compare(poppler, GdiPage(document, index, poppler));
        EXPECT_TRUE(raster_agreement::Agrees(same, kGdiLimit))
            << "page " << index + 1 << ": relative " << same.relative << ", strays " << same.strays;
        // The measure tells pages apart, and a shift of two points.
        const auto other = raster_agreement::Compare(
            poppler, GdiPage(document, (index + 1) % document.PageTotal(), poppler));
        EXPECT_FALSE(raster_agreement::Agrees(other, kGdiLimit))
            << "page " << index + 1 << " against another";
        const auto shifted =
            raster_agreement::Compare(poppler, GdiPage(document, index, poppler, 2.0));
        EXPECT_FALSE(raster_agreement::Agrees(shifted, kGdiLimit))
            << "page " << index + 1 << " shifted: relative " << shifted.relative;
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
