#include "pelm32/core/text_shaping.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <memory>

#include "pelm32/core/fonts.h"

namespace pelm32 {

namespace {

hb_font_t* ShapingFont(const Face& face) {
    std::shared_ptr<hb_font_t>& shaper = face.Shaper();
    if (!shaper) {
        const pdf::SfntFace& sfnt = face.Sfnt();
        // The bytes stay with the face, which outlives its shaper.
        hb_blob_t* blob = hb_blob_create(reinterpret_cast<const char*>(sfnt.Data()),
                                         static_cast<unsigned>(sfnt.Size()),
                                         HB_MEMORY_MODE_READONLY, nullptr, nullptr);
        hb_face_t* hbFace = hb_face_create(blob, face.File().index);
        hb_blob_destroy(blob);
        hb_font_t* font = hb_font_create(hbFace);
        hb_face_destroy(hbFace);
        shaper.reset(font, hb_font_destroy);
    }
    return shaper.get();
}

hb_buffer_t* Buffer() {
    static const std::unique_ptr<hb_buffer_t, void (*)(hb_buffer_t*)> buffer(hb_buffer_create(),
                                                                             hb_buffer_destroy);
    return buffer.get();
}

bool IsTrailingBlank(FriBidiCharType type) {
    return type == FRIBIDI_TYPE_WS || type == FRIBIDI_TYPE_BN || type == FRIBIDI_TYPE_SS ||
           type == FRIBIDI_TYPE_BS;
}

}  // namespace

void BidiLevels(const char32_t* text, size_t length, std::vector<uint8_t>& levels) {
    static_assert(sizeof(FriBidiChar) == sizeof(char32_t));
    const auto* chars = reinterpret_cast<const FriBidiChar*>(text);
    const auto n = static_cast<FriBidiStrIndex>(length);
    std::vector<FriBidiCharType> types(length);
    std::vector<FriBidiBracketType> brackets(length);
    std::vector<FriBidiLevel> fribidiLevels(length);
    fribidi_get_bidi_types(chars, n, types.data());
    fribidi_get_bracket_types(chars, n, types.data(), brackets.data());
    FriBidiParType direction = FRIBIDI_PAR_LTR;
    levels.assign(length, 0);
    if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), n, &direction,
                                            fribidiLevels.data()) == 0) {
        return;  // out of memory: left to right
    }
    size_t end = length;
    while (end > 0 && IsTrailingBlank(types[end - 1])) {
        fribidiLevels[--end] = 0;
    }
    std::copy(fribidiLevels.begin(), fribidiLevels.end(), levels.begin());
}

std::vector<size_t> VisualOrder(const std::vector<uint8_t>& runLevels) {
    std::vector<size_t> order(runLevels.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    if (runLevels.empty()) {
        return order;
    }
    const uint8_t highest = *std::max_element(runLevels.begin(), runLevels.end());
    // From the highest level down to the lowest odd one, every stretch of
    // runs at that level or higher turns round.
    for (int level = highest; level >= 1; --level) {
        for (size_t i = 0; i < order.size();) {
            if (runLevels[order[i]] < level) {
                ++i;
                continue;
            }
            size_t end = i;
            while (end < order.size() && runLevels[order[end]] >= level) {
                ++end;
            }
            std::reverse(order.begin() + static_cast<std::ptrdiff_t>(i),
                         order.begin() + static_cast<std::ptrdiff_t>(end));
            i = end;
        }
    }
    return order;
}

uint32_t ScriptOf(char32_t c) {
    const hb_script_t script = hb_unicode_script(hb_unicode_funcs_get_default(), c);
    return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED ||
                   script == HB_SCRIPT_UNKNOWN
               ? 0
               : static_cast<uint32_t>(script);
}

void Shape(const Face& face, const char32_t* text, size_t textLength, size_t begin, size_t length,
           uint32_t script, bool rightToLeft, std::vector<ShapedGlyph>& glyphs) {
    hb_buffer_t* buffer = Buffer();
    hb_buffer_clear_contents(buffer);
    hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text),
                        static_cast<int>(textLength), static_cast<unsigned>(begin),
                        static_cast<int>(length));
    hb_buffer_set_direction(buffer, rightToLeft ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    if (script != 0) {
        hb_buffer_set_script(buffer, static_cast<hb_script_t>(script));
    }
    hb_buffer_guess_segment_properties(buffer);
    // Marks keep clusters of their own, so each glyph maps to its own
    // characters wherever it appears; clusters still rise with the text.
    hb_buffer_set_cluster_level(buffer, HB_BUFFER_CLUSTER_LEVEL_MONOTONE_CHARACTERS);
    hb_shape(ShapingFont(face), buffer, nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer, &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer, &count);
    glyphs.clear();
    for (unsigned i = 0; i < count; ++i) {
        glyphs.push_back({static_cast<uint16_t>(infos[i].codepoint), infos[i].cluster,
                          positions[i].x_advance, positions[i].x_offset, positions[i].y_offset});
    }
}

}  // namespace pelm32
