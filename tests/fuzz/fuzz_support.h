// What the fuzz targets share: failing so that libFuzzer keeps the input, a
// private headless working folder for the engine, qpdf's verdict on a PDF,
// and the line rules as a model.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Prints why and aborts.
[[noreturn]] void FuzzFail(const std::string& why);

// A new folder of this process in the temporary folder, removed at a
// normal exit (a failing run leaves it for a look).
std::filesystem::path MakePrivateFolder();

struct FuzzFolders {
    std::filesystem::path work;    // the current folder, where bitmaps are looked up
    std::filesystem::path output;  // where the engine writes its PDFs
};

// Makes a private folder and enters its work/ folder; the engine writes
// into its out/ folder and shows no preview.
FuzzFolders EnterEngineFolders();

// Copies the example Logo.bmp and watermark.bmp into folder.
void CopyExampleBitmaps(const std::filesystem::path& folder);

std::set<std::string> FolderEntries(const std::filesystem::path& folder);

// The page count of pdf, which must pass qpdf --check without a warning; a
// failing file is kept in the temporary folder for a look.
int CheckedPageCount(const std::filesystem::path& pdf);

// The lines that the line rules make of bytes: the text ends before the
// first byte 26, a line ends at CR or CR LF, and a final line end makes no
// further line.
std::vector<std::string> ModelLines(std::string_view bytes);
