// The print preview of a finished document, from which it can be printed.
#pragma once

namespace pelm32 {

class Document;

// Shows the preview and returns when the user closes it.
void ShowPreview(const Document& document);

}  // namespace pelm32
