// The logical structure of a tagged PDF, built as the pages are drawn: the
// body text in paragraphs (P) under one Document element, in reading order.
// Each marked sequence of body text on a page gets a marked-content id; the
// parent tree maps each page's ids back to their paragraphs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pelm32/pdf/object_writer.h"

namespace pelm32::pdf {

class StructureTree {
  public:
    explicit StructureTree(ObjectWriter& objects);

    // A marked sequence of body text on the page (its object number)
    // belongs to the open paragraph, or to a new one; returns its id.
    int MarkBody(uint32_t page);
    // The body text that follows begins a new paragraph.
    void EndParagraph();
    // The page is done: the key of its parent tree entry, for the page's
    // /StructParents; -1 when it has no body text.
    int EndPage();
    // Writes what is still open, the Document element, the parent tree and
    // the root; returns the root's number.
    uint32_t Finish();

  private:
    void PutLeaf();
    uint32_t PutParentTree();

    ObjectWriter& objects_;
    uint32_t document_;
    uint32_t root_;
    // The open paragraph: its number (0 when none), its first page and its
    // kids so far.
    uint32_t paragraph_ = 0;
    uint32_t paragraphPage_ = 0;
    std::string kids_;
    std::vector<uint32_t> paragraphs_;
    // The paragraph of each id on the page being drawn.
    std::vector<uint32_t> pageIds_;
    // The parent tree: its leaves so far, and the entries (each page's
    // paragraphs by id) of the one being filled.
    int keys_ = 0;
    int leafFirst_ = 0;
    std::string leafEntries_;
    std::vector<uint32_t> leaves_;
};

}  // namespace pelm32::pdf
