#include "tests/report/recording_engine.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <utility>

#include "engine/pelm32.h"
#include "runtime/floating_point.h"

namespace recording {
namespace {

struct Engine {
    EngineSettings settings;
    std::vector<Call> calls;
    std::size_t graphicsAdded = 0;
};

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

const char* NameOf(Function function) {
    switch (function) {
        case Function::kStartDoc:
            return "pmStartDoc";
        case Function::kAddGraphic:
            return "pmAddGraphic";
        case Function::kFont:
            return "pmFont";
        case Function::kText:
            return "pmText";
        case Function::kPageNo:
            return "pmPageNo";
        case Function::kPageCount:
            return "pmPageCount";
        case Function::kDrawGraphic:
            return "pmDrawGraphic";
        case Function::kNewPage:
            return "pmNewPage";
        case Function::kFinishDoc:
            return "pmFinishDoc";
    }
    return "?";
}

void LeaveControlWord(std::uint16_t word) {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fldcw %0" : : "m"(word));
#else
    (void)word;
#endif
}

// Records the call as the engine sees it at entry.
class Recorder {
  public:
    Recorder(Function function, std::vector<Argument> arguments) {
        call_.function = function;
        call_.arguments = std::move(arguments);
        call_.controlWordAtEntry = CurrentFloatingPointControlWord();
    }
    ~Recorder() {
        TheEngine().calls.push_back(std::move(call_));
        if (TheEngine().settings.controlWordOnReturn) {
            LeaveControlWord(*TheEngine().settings.controlWordOnReturn);
        }
    }
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

  private:
    Call call_;
};

}  // namespace

Position::Position(float value) : bits(std::bit_cast<std::uint32_t>(value)) {}

float Position::Value() const {
    return std::bit_cast<float>(bits);
}

TextArgument::TextArgument(const char* text)
    : isNull(text == nullptr), bytes(text != nullptr ? text : "") {}

TextArgument::TextArgument(const std::string& text) : isNull(false), bytes(text) {}

void PrintTo(const Call& call, std::ostream* out) {
    *out << NameOf(call.function) << "(";
    const char* separator = "";
    for (const Argument& argument : call.arguments) {
        *out << separator;
        separator = ", ";
        if (const auto* number = std::get_if<std::int32_t>(&argument)) {
            *out << *number;
        } else if (const auto* position = std::get_if<Position>(&argument)) {
            char text[48];
            std::snprintf(text, sizeof text, "%.9g [%08x]", position->Value(), position->bits);
            *out << text;
        } else {
            const auto& textArgument = std::get<TextArgument>(argument);
            if (textArgument.isNull) {
                *out << "null";
            } else {
                *out << '"' << textArgument.bytes << '"';
            }
        }
    }
    *out << ")";
}

Call StartDocCall(std::int32_t option1, TextArgument title, TextArgument text3,
                  std::int32_t option4, std::int32_t pageValue1, std::int32_t pageValue2,
                  std::int32_t pageValue3, std::int32_t startOption) {
    return {Function::kStartDoc,
            {option1, std::move(title), std::move(text3), option4, pageValue1, pageValue2,
             pageValue3, startOption}};
}

Call AddGraphic(std::int32_t doc, TextArgument fileName) {
    return {Function::kAddGraphic, {doc, std::move(fileName)}};
}

Call Font(std::int32_t doc, std::int32_t option2, float size, std::int32_t option4,
          TextArgument faceName) {
    return {Function::kFont, {doc, option2, Position(size), option4, std::move(faceName)}};
}

Call Text(std::int32_t doc, float x, float y, std::int32_t textOption, TextArgument text) {
    return {Function::kText, {doc, Position(x), Position(y), textOption, std::move(text)}};
}

Call PageNo(std::int32_t doc, float x, float y, std::int32_t textOption, std::int32_t option5) {
    return {Function::kPageNo, {doc, Position(x), Position(y), textOption, option5}};
}

Call PageCount(std::int32_t doc, float x, float y, std::int32_t textOption, std::int32_t option5) {
    return {Function::kPageCount, {doc, Position(x), Position(y), textOption, option5}};
}

Call DrawGraphic(std::int32_t doc, std::int32_t graphic, float left, float top, float right,
                 float bottom) {
    return {Function::kDrawGraphic,
            {doc, graphic, Position(left), Position(top), Position(right), Position(bottom)}};
}

Call NewPage(std::int32_t doc, std::int32_t pageValue1, std::int32_t pageValue2,
             std::int32_t pageValue3) {
    return {Function::kNewPage, {doc, pageValue1, pageValue2, pageValue3}};
}

Call FinishDoc(std::int32_t doc, std::int32_t endMode) {
    return {Function::kFinishDoc, {doc, endMode}};
}

void ResetEngine(const EngineSettings& settings) {
    TheEngine() = Engine{settings, {}, 0};
}

const std::vector<Call>& RecordedCalls() {
    return TheEngine().calls;
}

}  // namespace recording

using recording::Function;
using recording::Position;
using recording::Recorder;
using recording::TextArgument;

extern "C" {

int32_t pmStartDoc(int32_t option1, const char* title, const char* text3, int32_t option4,
                   int32_t pageValue1, int32_t pageValue2, int32_t pageValue3,
                   int32_t startOption) {
    Recorder record(Function::kStartDoc,
                    {option1, TextArgument(title), TextArgument(text3), option4, pageValue1,
                     pageValue2, pageValue3, startOption});
    return recording::TheEngine().settings.startDocAnswer;
}

int32_t pmAddGraphic(int32_t doc, const char* fileName) {
    Recorder record(Function::kAddGraphic, {doc, TextArgument(fileName)});
    auto& engine = recording::TheEngine();
    const auto& ids = engine.settings.graphicIds;
    if (ids.empty()) {
        return 0;
    }
    std::size_t index = std::min(engine.graphicsAdded++, ids.size() - 1);
    return ids[index];
}

void pmFont(int32_t doc, int32_t option2, float pointSize, int32_t option4, const char* faceName) {
    Recorder record(Function::kFont,
                    {doc, option2, Position(pointSize), option4, TextArgument(faceName)});
}

void pmText(int32_t doc, float x, float y, int32_t textOption, const char* text) {
    Recorder record(Function::kText,
                    {doc, Position(x), Position(y), textOption, TextArgument(text)});
}

void pmPageNo(int32_t doc, float x, float y, int32_t textOption, int32_t option5) {
    Recorder record(Function::kPageNo, {doc, Position(x), Position(y), textOption, option5});
}

void pmPageCount(int32_t doc, float x, float y, int32_t textOption, int32_t option5) {
    Recorder record(Function::kPageCount, {doc, Position(x), Position(y), textOption, option5});
}

void pmDrawGraphic(int32_t doc, int32_t graphic, float left, float top, float right, float bottom) {
    Recorder record(Function::kDrawGraphic, {doc, graphic, Position(left), Position(top),
                                             Position(right), Position(bottom)});
}

void pmNewPage(int32_t doc, int32_t pageValue1, int32_t pageValue2, int32_t pageValue3) {
    Recorder record(Function::kNewPage, {doc, pageValue1, pageValue2, pageValue3});
}

void pmFinishDoc(int32_t doc, int32_t endMode) {
    Recorder record(Function::kFinishDoc, {doc, endMode});
}

}  // extern "C"
