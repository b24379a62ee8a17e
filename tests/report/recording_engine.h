// A print engine that draws nothing and records every call with all its
// arguments, in order, linked into the report tests in place of the real one.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

namespace recording {

enum class Function {
    kStartDoc,
    kAddGraphic,
    kFont,
    kText,
    kPageNo,
    kPageCount,
    kDrawGraphic,
    kNewPage,
    kFinishDoc,
};

// A float argument; two are equal only when their bits are.
struct Position {
    explicit Position(float value);
    float Value() const;
    std::uint32_t bits;
    friend bool operator==(const Position&, const Position&) = default;
};

// A text argument as the engine saw it during the call: the null address is
// not the same as "".
struct TextArgument {
    TextArgument(const char* text);         // NOLINT(google-explicit-constructor): nullptr is null
    TextArgument(const std::string& text);  // NOLINT(google-explicit-constructor)
    static TextArgument Null() { return TextArgument(nullptr); }
    bool isNull;
    std::string bytes;
    friend bool operator==(const TextArgument&, const TextArgument&) = default;
};

using Argument = std::variant<std::int32_t, Position, TextArgument>;

struct Call {
    Function function;
    std::vector<Argument> arguments;
    // The x87 control word the engine found at entry; not part of equality.
    std::uint16_t controlWordAtEntry = 0;
    friend bool operator==(const Call& a, const Call& b) {
        return a.function == b.function && a.arguments == b.arguments;
    }
};
void PrintTo(const Call& call, std::ostream* out);

// Expected calls, one builder per engine function, arguments first to last.
Call StartDocCall(std::int32_t option1, TextArgument title, TextArgument text3,
                  std::int32_t option4, std::int32_t pageValue1, std::int32_t pageValue2,
                  std::int32_t pageValue3, std::int32_t startOption);
Call AddGraphic(std::int32_t doc, TextArgument fileName);
Call Font(std::int32_t doc, std::int32_t option2, float size, std::int32_t option4,
          TextArgument faceName);
Call Text(std::int32_t doc, float x, float y, std::int32_t textOption, TextArgument text);
Call PageNo(std::int32_t doc, float x, float y, std::int32_t textOption, std::int32_t option5);
Call PageCount(std::int32_t doc, float x, float y, std::int32_t textOption, std::int32_t option5);
Call DrawGraphic(std::int32_t doc, std::int32_t graphic, float left, float top, float right,
                 float bottom);
Call NewPage(std::int32_t doc, std::int32_t pageValue1, std::int32_t pageValue2,
             std::int32_t pageValue3);
Call FinishDoc(std::int32_t doc, std::int32_t endMode);

struct EngineSettings {
    std::int32_t startDocAnswer = 1;
    // Answers of pmAddGraphic, in order; the last one repeats.
    std::vector<std::int32_t> graphicIds = {41, 42};
    // An engine that leaves the x87 control word changed on every return.
    std::optional<std::uint16_t> controlWordOnReturn;
};

// Forgets the recorded calls and answers from now on as settings say.
void ResetEngine(const EngineSettings& settings = {});
const std::vector<Call>& RecordedCalls();

}  // namespace recording
