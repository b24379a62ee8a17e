// Builds one content stream: text shown in BT ... ET with as few operators
// as the positions allow, images drawn with q ... cm /Im Do Q.
//
// Positions are points in PDF space (y up from the bottom of the page).
// They are written rounded to a thousandth of a point and bounded, so every
// number in the stream is finite and short, and a text that follows the
// previous one at the same x one leading lower costs only "(...)'".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelm32::pdf {

class ContentStream {
  public:
    // Shows encoded text with font resource /F<font> at size points, its
    // baseline starting at (x, y). twoByte: the codes are two bytes each
    // (a Type0 font), written as a hex string; else one byte each, written
    // as a literal string with (, ) and \ escaped and CR written as \r.
    void Text(int font, double size, double x, double y, std::string_view codes, bool twoByte);
    // The horizontal scale of the text that follows (1: as the font is).
    void Scale(double scale);

    // A frame of a thin line around the rectangle.
    void Frame(double left, double bottom, double width, double height);

    // What is drawn until EndActualText stands for text (UTF-32), for
    // search and copy; a marked-content id when markId >= 0.
    void BeginActualText(std::u32string_view text, int markId = -1);
    void EndActualText() { EndMarked(); }

    // A marked-content sequence, tag and properties as PDF writes them
    // ("/P", "<</MCID 3>>", or the name of a property list resource),
    // until the matching EndMarked.
    void BeginMarked(std::string_view tag, std::string_view properties);
    void EndMarked();

    // Draws image resource /Im<image> into the rectangle with lower left
    // corner (left, bottom), width and height.
    void Image(int image, double left, double bottom, double width, double height);
    // Form XObject /Fm<form>, drawn as it stands.
    void Form(int form);

    // Closes an open text object: the bytes are then a complete stream.
    void Finish();

    const std::string& Bytes() const { return bytes_; }
    size_t Size() const { return bytes_.size(); }
    // Empties the stream and forgets all state (font, position, leading).
    void Clear();

  private:
    void BeginText();
    void EndText();
    // Makes (x, y) the start of the text line and returns the operator that
    // shows a string there.
    const char* MoveTo(int64_t x, int64_t y);

    std::string bytes_;
    bool inText_ = false;
    int font_ = -1;
    int64_t size_ = 0;   // thousandths of a point
    int64_t lineX_ = 0;  // start of the current text line, thousandths
    int64_t lineY_ = 0;
    int64_t leading_ = 0;     // TL in force, thousandths; 0 until set
    int64_t scale_ = 100000;  // Tz in force, thousandths of a percent
};

}  // namespace pelm32::pdf
