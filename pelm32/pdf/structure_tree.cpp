#include "pelm32/pdf/structure_tree.h"

#include <algorithm>

#include "pelm32/pdf/pdf_syntax.h"

namespace pelm32::pdf {

namespace {

// Entries in a leaf of the parent tree, so no node of a long document
// grows huge.
constexpr size_t kEntriesPerLeaf = 256;

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
    std::string body = "<< /Type /StructElem /S /P /P ";
    AppendReference(body, document_);
    body += " /Pg ";
    AppendReference(body, paragraphPage_);
    body += " /K [" + kids_ + "] >>";
    objects_.PutObject(paragraph_, body);
    paragraphs_.push_back(paragraph_);
    paragraph_ = 0;
}

int StructureTree::EndPage() {
    if (pageIds_.empty()) {
        return -1;
    }
    const uint32_t array = objects_.NewObject();
    objects_.PutObject(array, References(pageIds_, 0, pageIds_.size()));
    pageIds_.clear();
    parentArrays_.push_back(array);
    return static_cast<int>(parentArrays_.size()) - 1;
}

// A number tree: the root's /Nums when the entries fit one leaf, else
// leaves under the root's /Kids.
uint32_t StructureTree::PutParentTree() {
    const auto nums = [this](size_t begin, size_t end) {
        std::string out = "/Nums [";
        for (size_t key = begin; key < end; ++key) {
            AppendInteger(out, static_cast<int64_t>(key));
            out += ' ';
            AppendReference(out, parentArrays_[key]);
            out += ' ';
        }
        return out + ']';
    };
    const uint32_t tree = objects_.NewObject();
    if (parentArrays_.size() <= kEntriesPerLeaf) {
        objects_.PutObject(tree, "<< " + nums(0, parentArrays_.size()) + " >>");
        return tree;
    }
    std::vector<uint32_t> leaves;
    for (size_t begin = 0; begin < parentArrays_.size(); begin += kEntriesPerLeaf) {
        const size_t end = std::min(parentArrays_.size(), begin + kEntriesPerLeaf);
        std::string leaf = "<< /Limits [";
        AppendInteger(leaf, static_cast<int64_t>(begin));
        leaf += ' ';
        AppendInteger(leaf, static_cast<int64_t>(end - 1));
        leaf += "] " + nums(begin, end) + " >>";
        leaves.push_back(objects_.NewObject());
        objects_.PutObject(leaves.back(), leaf);
    }
    objects_.PutObject(tree, "<< /Kids " + References(leaves, 0, leaves.size()) + " >>");
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
    AppendInteger(root, static_cast<int64_t>(parentArrays_.size()));
    objects_.PutObject(root_, root + " >>");
    return root_;
}

}  // namespace pelm32::pdf
