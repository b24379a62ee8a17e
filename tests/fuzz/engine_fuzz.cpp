// Random documents through the engine's nine functions: bad and stale
// handles, NaN, infinite and huge positions and sizes, texts of any bytes,
// missing and broken bitmaps, documents open at once. Every PDF written must
// pass qpdf --check with no warning, and nothing may appear outside the
// output folder.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "engine/pelm32.h"
#include "tests/fuzz/fuzz_support.h"

namespace fs = std::filesystem;

namespace {

FuzzFolders folders;

// Reads the fuzzer's bytes as calls; past the end every read gives zeros.
class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    int32_t Small(int low, int high) { return low + Byte() % (high - low + 1); }
    float Position() {
        static const float kSpecial[] = {std::numeric_limits<float>::quiet_NaN(),
                                         std::numeric_limits<float>::infinity(),
                                         -std::numeric_limits<float>::infinity(),
                                         1e19f,
                                         -1e19f,
                                         3.4e38f,
                                         0.0f,
                                         -0.0f,
                                         1e-30f};
        const uint8_t kind = Byte();
        if (kind >= 240) {
            return kSpecial[kind % std::size(kSpecial)];
        }
        const int16_t raw = static_cast<int16_t>(Byte() << 8 | Byte());
        return raw / 2048.0f;  // -16 to 16 inches, fine steps
    }
    // Null, empty, or up to 255 bytes of anything but zero.
    std::string Text(bool& null) {
        const uint8_t length = Byte();
        null = length == 255;
        std::string text;
        for (int i = 0; i < length && !null; ++i) {
            const char c = static_cast<char>(Byte());
            text += c == '\0' ? ' ' : c;
        }
        return text;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

// Each finished document leaves at most one file, a clean PDF, which is
// then removed so the folder stays small.
void CheckOutput() {
    for (const std::string& name : FolderEntries(folders.output)) {
        const fs::path pdf = folders.output / name;
        if (pdf.extension() != ".pdf") {
            FuzzFail("unexpected file in the output folder: " + name);
        }
        CheckedPageCount(pdf);
        fs::remove(pdf);
    }
}

const char* Face(Input& in) {
    static const char* kFaces[] = {"Courier New", "DejaVu Sans", "Liberation Serif", "", nullptr};
    return kFaces[in.Byte() % std::size(kFaces)];
}

const char* Bitmap(Input& in) {
    static const char* kBitmaps[] = {"Logo.bmp", "watermark.bmp", "broken.bmp", "missing.bmp",
                                     nullptr};
    return kBitmaps[in.Byte() % std::size(kBitmaps)];
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folders = EnterEngineFolders();
    CopyExampleBitmaps(folders.work);
    std::ofstream(folders.work / "broken.bmp") << "BM not really a bitmap";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::set<std::string> workBefore = FolderEntries(folders.work);
    Input in(data, size);
    std::vector<int32_t> open;
    int32_t lastFinished = 0;
    const auto document = [&]() -> int32_t {
        const uint8_t pick = in.Byte();
        if (pick < 16) {
            return pick % 4 == 0 ? lastFinished : static_cast<int32_t>(pick) - 8;  // stale or bogus
        }
        return open.empty() ? 0 : open[pick % open.size()];
    };
    for (int call = 0; call < 400 && !in.Done(); ++call) {
        bool null = false;
        const int op = in.Byte() % 9;
        switch (op) {
            case 0:
                if (open.size() < 3) {
                    const std::string title = in.Text(null);
                    const int32_t doc =
                        pmStartDoc(0, null ? nullptr : title.c_str(), nullptr, 0, 1, 0, 7, 8);
                    if (doc > 0) {
                        open.push_back(doc);
                    }
                }
                break;
            case 1:
                pmAddGraphic(document(), Bitmap(in));
                break;
            case 2: {
                const int32_t doc = document();
                const float size = in.Byte() < 200 ? in.Small(1, 72) : in.Position();
                pmFont(doc, 1, size, 0, Face(in));
                break;
            }
            case 3: {
                const int32_t doc = document();
                const float x = in.Position();
                const float y = in.Position();
                const std::string text = in.Text(null);
                pmText(doc, x, y, 0, null ? nullptr : text.c_str());
                break;
            }
            case 4:
            case 5: {
                const int32_t doc = document();
                const float x = in.Position();
                const float y = in.Position();
                (op == 4 ? pmPageNo : pmPageCount)(doc, x, y, 0, 0);
                break;
            }
            case 6: {
                const int32_t doc = document();
                const int32_t graphic = in.Small(-1, 5);
                const float l = in.Position(), t = in.Position(), r = in.Position(),
                            b = in.Position();
                pmDrawGraphic(doc, graphic, l, t, r, b);
                break;
            }
            case 7:
                pmNewPage(document(), 1, 0, 7);
                break;
            case 8:
                if (!open.empty()) {
                    const size_t index = in.Byte() % open.size();
                    lastFinished = open[index];
                    open.erase(open.begin() + static_cast<std::ptrdiff_t>(index));
                    pmFinishDoc(lastFinished, 4);
                    CheckOutput();
                }
                break;
        }
    }
    for (const int32_t doc : open) {
        pmFinishDoc(doc, 4);
    }
    CheckOutput();
    if (FolderEntries(folders.work) != workBefore) {
        FuzzFail("a file appeared outside the output folder");
    }
    return 0;
}
