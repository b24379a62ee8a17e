#include "pelm32/pdf/structure_tree.h"

#include "pelm32/pdf/pdf_syntax.h"

namespace pelm32::pdf {

namespace {

// Entries in a leaf of the parent tree, so no node of a long document
// grows huge.
constexpr int kEntriesPerLeaf = 256;

std::string References(const std::vector<uint32_t>& numbers, size_t begin, size_t end) {
    std::string out = "[";
    for (size_t i = begin; i < end; ++i) {
        out += i == begin ? "" : " ";
        AppendReference(out, numbers[i]);
    }
    return out + ']';
}

}  // namespace

StructureTree::StructureTree(ObjectWriter& objects)
    : objects_(objects), document_(objects.NewObject()), root_(objects.NewObject()) {}

int StructureTree::MarkBody(uint32_t page) {
    if (paragraph_ == 0) {
        paragraph_ = objects_.NewObject();
        paragraphPage_ = page;
        kids_.clear();
    }
    const int id = static_cast<int>(pageIds_.size());
    pageIds_.push_back(paragraph_);
    kids_ += kids_.empty() ? "" : " ";
    if (page == paragraphPage_) {
        AppendInteger(kids_, id);
    } else {
        kids_ += "<< /Type /MCR /Pg ";
        AppendReference(kids_, page);
        kids_ += " /MCID ";
        AppendInteger(kids_, id);
        kids_ += " >>";
    }
    return id;
}

void StructureTree::EndParagraph() {
    if (paragraph_ == 0) {
        return;
    }
    // The shortest form: a paragraph is written for every page or so.
    std::string body = "<< /S /P /P ";
    AppendReference(body, document_);
    body += " /Pg ";
    AppendReference(body, paragraphPage_);
    const bool one = kids_.find(' ') == std::string::npos;
    body += one ? " /K " + kids_ + " >>" : " /K [" + kids_ + "] >>";
    objects_.PutObject(paragraph_, body);
    paragraphs_.push_back(paragraph_);
    paragraph_ = 0;
}

// A page's entry in the parent tree: its paragraphs by id, inline.
int StructureTree::EndPage() {
    if (pageIds_.empty()) {
        return -1;
    }
    AppendInteger(leafEntries_, keys_);
    leafEntries_ += ' ' + References(pageIds_, 0, pageIds_.size()) + ' ';
    pageIds_.clear();
    if (++keys_ - leafFirst_ == kEntriesPerLeaf) {
        PutLeaf();
    }
    return keys_ - 1;
}

// Leaves are written as they fill, so the tree costs no memory to speak of.
void StructureTree::PutLeaf() {
    std::string leaf = "<< /Limits [";
    AppendInteger(leaf, leafFirst_);
    leaf += ' ';
    AppendInteger(leaf, keys_ - 1);
    leaf += "] /Nums [" + leafEntries_ + "] >>";
    leaves_.push_back(objects_.NewObject());
    objects_.PutObject(leaves_.back(), leaf);
    leafFirst_ = keys_;
    leafEntries_.clear();
}

uint32_t StructureTree::PutParentTree() {
    if (keys_ > leafFirst_) {
        PutLeaf();
    }
    const uint32_t tree = objects_.NewObject();
    objects_.PutObject(tree, "<< /Kids " + References(leaves_, 0, leaves_.size()) + " >>");
    return tree;
}

uint32_t StructureTree::Finish() {
    EndParagraph();
    std::string document = "<< /Type /StructElem /S /Document /P ";
    AppendReference(document, root_);
    document += " /K " + References(paragraphs_, 0, paragraphs_.size()) + " >>";
    objects_.PutObject(document_, document);
    std::string root = "<< /Type /StructTreeRoot /K ";
    AppendReference(root, document_);
    root += " /ParentTree ";
    AppendReference(root, PutParentTree());
    root += " /ParentTreeNextKey ";
    AppendInteger(root, keys_);
    objects_.PutObject(root_, root + " >>");
    return root_;
}

}  // namespace pelm32::pdf
