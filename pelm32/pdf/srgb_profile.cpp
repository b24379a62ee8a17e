#include "pelm32/pdf/srgb_profile.h"

#include <cmath>
#include <cstdint>
#include <iterator>

namespace pelm32::pdf {

namespace {

// The sRGB primaries and D65 white, adapted to the D50 of the profile
// connection space (Bradford), as every sRGB profile states them.
constexpr double kRed[3] = {0.436066, 0.222488, 0.013916};
constexpr double kGreen[3] = {0.385147, 0.716873, 0.097076};
constexpr double kBlue[3] = {0.143066, 0.060608, 0.714096};
constexpr double kD65[3] = {0.950455, 1.0, 1.089050};
constexpr double kD50[3] = {0.964203, 1.0, 0.824905};
constexpr int kCurvePoints = 1024;

void Put32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

void Put16(std::string& out, uint32_t value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void PutXyzNumber(std::string& out, const double (&xyz)[3]) {
    for (const double v : xyz) {
        Put32(out, static_cast<uint32_t>(std::lround(v * 65536.0)));
    }
}

std::string XyzTag(const double (&xyz)[3]) {
    std::string tag = "XYZ ";
    Put32(tag, 0);
    PutXyzNumber(tag, xyz);
    return tag;
}

// The sRGB transfer function, sampled.
std::string CurveTag() {
    std::string tag = "curv";
    Put32(tag, 0);
    Put32(tag, kCurvePoints);
    for (int i = 0; i < kCurvePoints; ++i) {
        const double v = static_cast<double>(i) / (kCurvePoints - 1);
        const double linear = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        Put16(tag, static_cast<uint32_t>(std::lround(linear * 65535.0)));
    }
    return tag;
}

// textDescriptionType: the ASCII name, no Unicode or Macintosh name.
std::string DescriptionTag(const std::string& name) {
    std::string tag = "desc";
    Put32(tag, 0);
    Put32(tag, static_cast<uint32_t>(name.size() + 1));
    tag += name;
    tag += '\0';
    tag.append(4 + 4 + 2 + 1 + 67, '\0');
    return tag;
}

std::string TextTag(const std::string& text) {
    std::string tag = "text";
    Put32(tag, 0);
    return tag + text + '\0';
}

std::string Header(uint32_t size) {
    std::string header;
    Put32(header, size);
    Put32(header, 0);           // no preferred colour management module
    Put32(header, 0x02100000);  // version 2.1
    header += "mntrRGB XYZ ";
    header.append(12, '\0');  // no date
    header += "acsp";
    header.append(24, '\0');  // platform, flags, maker, model, attributes
    Put32(header, 0);         // perceptual
    PutXyzNumber(header, kD50);
    header.resize(128, '\0');
    return header;
}

}  // namespace

std::string SrgbProfile() {
    struct Tag {
        const char* signature;
        std::string data;
    };
    const std::string curve = CurveTag();
    const Tag tags[] = {
        {"desc", DescriptionTag("sRGB IEC61966-2.1")},
        {"cprt", TextTag("No copyright, use freely")},
        {"wtpt", XyzTag(kD65)},
        {"rXYZ", XyzTag(kRed)},
        {"gXYZ", XyzTag(kGreen)},
        {"bXYZ", XyzTag(kBlue)},
        {"rTRC", curve},
        {"gTRC", ""},  // the three curves are one
        {"bTRC", ""},
    };
    const size_t count = std::size(tags);
    std::string table;
    std::string data;
    uint32_t offset = static_cast<uint32_t>(128 + 4 + 12 * count);
    uint32_t curveOffset = 0;
    Put32(table, static_cast<uint32_t>(count));
    for (const Tag& tag : tags) {
        table += tag.signature;
        const bool shared = tag.data.empty();
        Put32(table, shared ? curveOffset : offset);
        Put32(table, static_cast<uint32_t>(shared ? curve.size() : tag.data.size()));
        if (tag.data == curve) {
            curveOffset = offset;
        }
        data += tag.data;
        offset += static_cast<uint32_t>(tag.data.size());
        while (data.size() % 4 != 0) {  // tags start on 4-byte boundaries
            data += '\0';
            ++offset;
        }
    }
    return Header(offset) + table + data;
}

}  // namespace pelm32::pdf
