#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "pelm32/pdf/deflate.h"

namespace pelm32::pdf {
namespace {

// A page of report text as a content stream holds it.
std::string PageText() {
    std::string text;
    for (int line = 0; text.size() < 4096; ++line) {
        text += "(00" + std::to_string(1000 + line) + "  Hex bolt M8 x " +
                std::to_string(line % 7 * 10) + "  each  " + std::to_string(line * 37 % 900) +
                ")'\n";
    }
    return text;
}

// Runs of random bytes, several megabytes: more than one piece of output.
std::string LargeData() {
    std::mt19937 random(7);
    std::string data;
    while (data.size() < (3u << 20)) {
        data.append(random() % 64, static_cast<char>(random()));
    }
    return data;
}

std::string Uncompress(const std::string& zlib, size_t expected) {
    std::string out(expected + 1, '\0');  // the spare byte shows a longer result
    uLongf size = out.size();
    EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                         reinterpret_cast<const Bytef*>(zlib.data()), zlib.size()),
              Z_OK);
    out.resize(size);
    return out;
}

TEST(Deflate, RoundTripsAndAppendsWithEachLibraryAndLevel) {
    const std::string text = PageText();
    const std::string inputs[] = {"", "x", text, LargeData(), text};
    std::vector<std::unique_ptr<Deflater>> deflaters;
    for (const int level : {1, 6, 12}) {  // 12 is past zlib's last level
        deflaters.push_back(MakeZlibDeflater(level));
        if (auto deflater = MakeLibdeflateDeflater(level)) {
            deflaters.push_back(std::move(deflater));
        }
    }
    for (const auto& deflater : deflaters) {
        // One deflater for every input: nothing may carry over between calls.
        for (const std::string& input : inputs) {
            SCOPED_TRACE(std::string(deflater->Name()) + ", " + std::to_string(input.size()));
            std::string out = "prefix";
            deflater->Compress(input.data(), input.size(), out);
            ASSERT_EQ(out.substr(0, 6), "prefix");
            EXPECT_EQ(Uncompress(out.substr(6), input.size()), input);
            if (input == text) {
                EXPECT_LT(out.size(), text.size() / 3);
            }
        }
    }
}

TEST(Deflate, EngineUsesLibdeflateWhenBuiltWithIt) {
    const bool have = MakeLibdeflateDeflater(6) != nullptr;
    EXPECT_STREQ(MakeDeflater()->Name(), have ? "libdeflate" : "zlib");
}

}  // namespace
}  // namespace pelm32::pdf
