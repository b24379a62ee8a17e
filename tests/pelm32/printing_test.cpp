// Printing through a CUPS scheduler of the test's own, to file printers:
// the job Qt sends for the printer the user picked, and what the printer
// makes of it, must keep every mark of the document on the paper.
//
// The painter's faces come from memory, and Qt's PDF output draws glyphs
// of a face without a file as outlines: the jobs have no text to find. So
// the marks are judged by their ink, page by page, as Ghostscript's bbox
// device measures it; it ends ink at the edge of the page. The report's
// outermost marks are the words at its edges and its bottom line, so a
// page's ink box tells where those went, and whether any was cut.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pelm32/core/document.h"
#include "pelm32/core/document_pdf.h"
#include "pelm32/core/failures.h"
#include "pelm32/core/paper.h"
#include "pelm32/pdf/byte_sink.h"
#include "pelm32/qt/printing.h"
#include "pelm32/qt/qt_setup.h"
#include "tests/pelm32/cups_server.h"
#include "tests/pelm32/pdf_tools.h"

namespace {

using namespace pelm32_test;

// The scheduler's sample PostScript printer, whose own paper is Letter.
constexpr char kPostScriptModel[] = "drv:///sample.drv/generic.ppd";
constexpr char kLetterPrinter[] = "letter";
constexpr char kA4Printer[] = "a4";
constexpr char kRefusingPrinter[] = "refusing";  // takes no jobs

// Where the report's body starts and how its lines follow, in inches.
constexpr float kBodyTop = 2.3333335f;
constexpr float kLineStep = 1.0f / 6.0f;
// Body lines a page holds: the 53rd of A4 starts at 11.0 in, below the
// bottom of a Letter sheet; Letter's 52nd ends on its bottom edge.
constexpr int kA4Lines = 53;
constexpr int kLetterLines = 52;

// How far apart two measures of one mark may lie, in points.
constexpr double kSlack = 1.0;

// A page with a mark near each edge: a word at the top, at the left and
// at the right edge, the page count at 7.8 in as the report has it, and
// body lines down to the bottom.
void WriteEdgePage(pelm32::Document& document, int page, int bodyLines) {
    const std::string number = std::to_string(page);
    document.SetFont(16.0, "Courier New");
    document.Text(6.25f, 0.5f, "Page ");
    document.PageNumber(7.0f, 0.5f);
    document.Text(7.3f, 0.5f, "of ");
    document.PageCount(7.8f, 0.5f);
    document.SetFont(10.0, "Courier New");
    document.Text(3.0f, 0.1f, ("TopEdge" + number).c_str());
    document.Text(0.1f, 1.5f, ("LeftEdge" + number).c_str());
    // Ten characters of 6 points end 0.1 in before the right edge.
    const double right = document.PageWidth() / pelm32::kPointsPerInch - 0.1 - 60.0 / 72.0;
    document.Text(static_cast<float>(right), 1.5f, ("RightEdge" + number).c_str());
    for (int line = 1; line <= bodyLines; ++line) {
        const std::string text = "Body line " + std::to_string(line) + " of page " + number;
        document.Text(0.5f, kBodyTop + static_cast<float>(line - 1) * kLineStep, text.c_str());
    }
}

std::unique_ptr<pelm32::Document> EdgeReport(const pelm32::Paper& paper, int bodyLines,
                                             int pages = 2) {
    auto document = std::make_unique<pelm32::Document>("Edges", paper);
    for (int page = 1; page <= pages; ++page) {
        if (page > 1) {
            document->NewPage();
        }
        WriteEdgePage(*document, page, bodyLines);
    }
    EXPECT_TRUE(document->Finish());
    return document;
}

// A box in points from the bottom left corner of the sheet, as PostScript,
// PPDs and Ghostscript give them.
struct Box {
    double left;
    double bottom;
    double right;
    double top;
};

// The ink of each page of a PDF or PostScript file.
std::vector<Box> InkBoxes(const std::string& file) {
    std::istringstream lines(
        RunCommand("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bbox " + Quoted(file) + " 2>&1"));
    std::vector<Box> boxes;
    std::string line;
    while (std::getline(lines, line)) {
        Box box;
        if (std::sscanf(line.c_str(), "%%%%HiResBoundingBox: %lf %lf %lf %lf", &box.left,
                        &box.bottom, &box.right, &box.top) == 4) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

// Ink clipped by an edge of the area ends on it: ink inside keeps clear.
::testing::AssertionResult InkInside(const std::vector<Box>& ink, const Box& area) {
    for (size_t page = 0; page < ink.size(); ++page) {
        const Box& box = ink[page];
        if (box.left <= area.left || box.bottom <= area.bottom || box.right >= area.right ||
            box.top >= area.top) {
            return ::testing::AssertionFailure()
                   << "the ink of page " << page + 1 << " spans " << box.left << " " << box.bottom
                   << " " << box.right << " " << box.top << ", the area " << area.left << " "
                   << area.bottom << " " << area.right << " " << area.top;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult AllPagesAre(const std::string& pdf, double width, double height,
                                       size_t pages) {
    std::istringstream info(RunCommand("pdfinfo -f 1 -l 9999 " + Quoted(pdf) + " 2>&1"));
    size_t count = 0;
    std::string line;
    while (std::getline(info, line)) {
        int page;
        double w;
        double h;
        if (std::sscanf(line.c_str(), "Page %d size: %lf x %lf", &page, &w, &h) != 3) {
            continue;
        }
        ++count;
        if (std::abs(w - width) > kSlack || std::abs(h - height) > kSlack) {
            return ::testing::AssertionFailure() << "page " << page << " is " << w << " x " << h;
        }
    }
    if (count != pages) {
        return ::testing::AssertionFailure() << pdf << " has " << count << " pages";
    }
    return ::testing::AssertionSuccess();
}

// Where a document's page went on the sheet: sheet = scale * page + offset.
struct Placement {
    double scaleX = 0;
    double scaleY = 0;
    double left = 0;
    double bottom = 0;
};

// The placement that carries the ink of the document's first page onto
// the job's; every page must go the same way.
::testing::AssertionResult FindPlacement(const std::vector<Box>& document,
                                         const std::vector<Box>& job, Placement& placement) {
    if (document.empty() || job.size() != document.size()) {
        return ::testing::AssertionFailure() << "the document has ink on " << document.size()
                                             << " pages, the job on " << job.size();
    }
    const Box& from = document.front();
    const Box& to = job.front();
    placement.scaleX = (to.right - to.left) / (from.right - from.left);
    placement.scaleY = (to.top - to.bottom) / (from.top - from.bottom);
    placement.left = to.left - placement.scaleX * from.left;
    placement.bottom = to.bottom - placement.scaleY * from.bottom;
    for (size_t page = 1; page < job.size(); ++page) {
        const Box& mine = document[page];
        const Box& theirs = job[page];
        const auto off = [&](double value, double at, double scale, double offset) {
            return std::abs(offset + scale * at - value) > kSlack;
        };
        if (off(theirs.left, mine.left, placement.scaleX, placement.left) ||
            off(theirs.right, mine.right, placement.scaleX, placement.left) ||
            off(theirs.bottom, mine.bottom, placement.scaleY, placement.bottom) ||
            off(theirs.top, mine.top, placement.scaleY, placement.bottom)) {
            return ::testing::AssertionFailure() << "page " << page + 1 << " went elsewhere";
        }
    }
    return ::testing::AssertionSuccess();
}

// Pages that went where the document had them, at their own size.
::testing::AssertionResult Unmoved(const Placement& placement) {
    if (std::abs(placement.scaleX - 1) > 0.002 || std::abs(placement.scaleY - 1) > 0.002 ||
        std::abs(placement.left) > kSlack || std::abs(placement.bottom) > kSlack) {
        return ::testing::AssertionFailure()
               << "scaled " << placement.scaleX << " x " << placement.scaleY << ", moved by "
               << placement.left << ", " << placement.bottom;
    }
    return ::testing::AssertionSuccess();
}

// A page fitted to an area: the same scale both ways, as large as the
// area allows and centred in it.
void ExpectFittedAndCentred(const Placement& placement, const pelm32::Paper& paper,
                            const Box& area) {
    EXPECT_NEAR(placement.scaleX, placement.scaleY, 0.002);
    EXPECT_LT(placement.scaleX, 1.0);
    const double right = placement.left + placement.scaleX * paper.width;
    const double top = placement.bottom + placement.scaleY * paper.height;
    EXPECT_GE(placement.left, area.left - kSlack / 2);
    EXPECT_GE(placement.bottom, area.bottom - kSlack / 2);
    EXPECT_LE(right, area.right + kSlack / 2);
    EXPECT_LE(top, area.top + kSlack / 2);
    const double spareX = (area.right - area.left) - (right - placement.left);
    const double spareY = (area.top - area.bottom) - (top - placement.bottom);
    EXPECT_LT(std::min(spareX, spareY), kSlack) << "spare " << spareX << " x " << spareY;
    EXPECT_NEAR(placement.left - area.left, area.right - right, kSlack);
    EXPECT_NEAR(placement.bottom - area.bottom, area.top - top, kSlack);
}

// The printer's PostScript: pages of the sheet's size, each with the ink
// of the job's page where the job had it.
::testing::AssertionResult PrintedAsSent(const std::string& postScript, const pelm32::Paper& sheet,
                                         const std::vector<Box>& jobInk) {
    const std::string comments =
        RunCommand("grep -a -E '^%%(BoundingBox|Pages): [0-9]' " + Quoted(postScript));
    const std::string box = "%%BoundingBox: 0 0 " + std::to_string(std::lround(sheet.width)) + " " +
                            std::to_string(std::lround(sheet.height)) + "\n";
    const std::string pages = "%%Pages: " + std::to_string(jobInk.size()) + "\n";
    if (comments.find(box) == std::string::npos || comments.find(pages) == std::string::npos) {
        return ::testing::AssertionFailure() << postScript << " says\n" << comments;
    }
    Placement same;
    if (auto found = FindPlacement(jobInk, InkBoxes(postScript), same); !found) {
        return found;
    }
    return Unmoved(same);
}

// A job's pages: their ink, and where the document's pages went.
struct Printout {
    std::vector<Box> ink;
    Placement placement;
    std::string job;  // the job's document as Qt sent it
};

class PrintingOnCups : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<CupsServer>();
        ::testing::AssertionResult ready = server_->Start();
        if (ready) {
            ready = server_->AddFilePrinter(kLetterPrinter, kPostScriptModel);
        }
        if (ready) {
            ready = server_->AddFilePrinter(kA4Printer, kPostScriptModel, {"media=a4"});
        }
        if (ready) {
            ready = server_->AddFilePrinter(kRefusingPrinter, kPostScriptModel);
        }
        if (ready &&
            std::system((std::string("/usr/sbin/cupsreject ") + kRefusingPrinter).c_str()) != 0) {
            ready = ::testing::AssertionFailure() << "cupsreject failed";
        }
        failure_ = ready ? "" : ready.message();
    }
    static void TearDownTestSuite() { server_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(failure_.empty()) << failure_;
        ASSERT_TRUE(pelm32::EnsureApplication());
        const QStringList printers = QPrinterInfo::availablePrinterNames();
        ASSERT_TRUE(printers.contains(kLetterPrinter) && printers.contains(kA4Printer))
            << "Qt's print support sees " << printers.join(", ").toStdString()
            << ": CUPS was reached before CUPS_SERVER named the test's own scheduler";
    }

    // Prints the two pages of the edge report on paper to the printer, whose
    // sheets the job must have, and which must print what the job sent.
    static ::testing::AssertionResult PrintEdgeReport(const pelm32::Paper& paper, int bodyLines,
                                                      const char* printer,
                                                      const pelm32::Paper& sheet,
                                                      Printout& printout) {
        const auto document = EdgeReport(paper, bodyLines);
        int job = 0;
        if (auto printed = Print(*document, printer, job); !printed) {
            return printed;
        }
        const std::string sent = server_->JobDocument(job);
        printout.job = sent;
        if (auto sized = AllPagesAre(sent, sheet.width, sheet.height, 2); !sized) {
            return sized;
        }
        printout.ink = InkBoxes(sent);
        if (auto placed = FindPlacement(DocumentInk(*document), printout.ink, printout.placement);
            !placed) {
            return placed;
        }
        return PrintedAsSent(server_->OutputOf(printer), sheet, printout.ink);
    }

    // Prints as the preview does once the user picked the printer: the
    // dialog starts from the document's paper and takes the printer's own.
    // A range of pages (from 1) is what the dialog leaves when the user
    // asks for some pages only: the engine must pick them itself.
    static ::testing::AssertionResult Print(const pelm32::Document& document,
                                            const char* printerName, int& job, int fromPage = 0,
                                            int toPage = 0) {
        QPrinter printer(QPrinter::HighResolution);
        pelm32::SetUpPrinter(document, printer);
        printer.setPrinterName(printerName);
        printer.setPageSize(QPrinterInfo(printer).defaultPageSize());
        if (fromPage > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(fromPage, toPage);
        }
        if (!pelm32::PrintDocument(document, printer)) {
            return ::testing::AssertionFailure() << "printing to " << printerName << " failed";
        }
        std::vector<int> jobs;
        if (auto ended = server_->WaitForNewJobs(printerName, jobs); !ended) {
            return ended;
        }
        if (jobs.size() != 1) {
            return ::testing::AssertionFailure()
                   << jobs.size() << " jobs ended on " << printerName << server_->LogTail();
        }
        job = jobs.front();
        return ::testing::AssertionSuccess();
    }

    // A report on paper other than the printer's: every page shrunk into
    // what the printer can print on, and centred there.
    static void ExpectShrunkToFit(const pelm32::Paper& paper, int bodyLines, const char* printer,
                                  const pelm32::Paper& sheet) {
        Printout printout;
        ASSERT_TRUE(PrintEdgeReport(paper, bodyLines, printer, sheet, printout));
        const Box printable = PrintableArea(printer, sheet);
        EXPECT_TRUE(InkInside(printout.ink, printable));
        ExpectFittedAndCentred(printout.placement, paper, printable);
    }

    // The printer's sheet less the margins its PPD says it cannot print on.
    static Box PrintableArea(const char* printer, const pelm32::Paper& sheet) {
        const auto margins = server_->MarginsOf(printer, sheet.name);
        EXPECT_TRUE(margins.has_value()) << "no " << sheet.name << " in the PPD of " << printer;
        const PrinterMargins m = margins.value_or(PrinterMargins{});
        return {m.left, m.bottom, sheet.width - m.right, sheet.height - m.top};
    }

    // The ink of each page as the engine's own PDF lays it out.
    static std::vector<Box> DocumentInk(const pelm32::Document& document) {
        pelm32::pdf::MemorySink sink;
        std::string why;
        EXPECT_TRUE(pelm32::WriteDocumentPdf(document, sink, why)) << why;
        return InkBoxes(pdf_check::WriteTempPdf(sink.bytes));
    }

    static inline std::unique_ptr<CupsServer> server_;
    static inline std::string failure_;
};

// The old engine put A4 pages unscaled on Letter, and the bottom of each
// page (from 11 in down) was lost.
TEST_F(PrintingOnCups, A4ReportOnLetterPrinterShrinksToItsPrintableAreaCentred) {
    ExpectShrunkToFit(pelm32::kA4, kA4Lines, kLetterPrinter, pelm32::kLetter);
}

TEST_F(PrintingOnCups, A4ReportOnA4PrinterPrintsAsLaidOut) {
    Printout printout;
    ASSERT_TRUE(PrintEdgeReport(pelm32::kA4, kA4Lines, kA4Printer, pelm32::kA4, printout));
    EXPECT_TRUE(InkInside(printout.ink, {0, 0, pelm32::kA4.width, pelm32::kA4.height}));
    EXPECT_TRUE(Unmoved(printout.placement));
    // Text with its fonts embedded, not outlines: a long report's job stays
    // small and its text can be found.
    const std::string text = pdf_check::PdfToText(printout.job);
    EXPECT_NE(text.find("Body line 53 of page 2"), std::string::npos) << text;
    EXPECT_NE(RunCommand("pdffonts " + Quoted(printout.job)).find("LiberationMono"),
              std::string::npos);
}

// Letter is wider than A4: unscaled, its right edge would be lost.
TEST_F(PrintingOnCups, LetterReportOnA4PrinterShrinksToItsPrintableAreaCentred) {
    ExpectShrunkToFit(pelm32::kLetter, kLetterLines, kA4Printer, pelm32::kA4);
}

// The print dialog's page range: the job holds those pages, in order, and
// no other, and the printer prints each of them.
TEST_F(PrintingOnCups, APageRangePrintsThoseDocumentPagesAndNoOther) {
    const auto document = EdgeReport(pelm32::kA4, kA4Lines, 3);
    const struct {
        int from;
        int to;
    } ranges[] = {{1, 1}, {2, 3}};
    for (const auto& range : ranges) {
        SCOPED_TRACE("pages " + std::to_string(range.from) + " to " + std::to_string(range.to));
        int job = 0;
        ASSERT_TRUE(Print(*document, kA4Printer, job, range.from, range.to));
        const std::string sent = server_->JobDocument(job);
        const int pages = range.to - range.from + 1;
        const int sentPages = pdf_check::PdfPageCount(sent);
        EXPECT_EQ(sentPages, pages);
        for (int page = 1; page <= std::min(pages, sentPages); ++page) {
            const std::string text = pdf_check::PdfToText(sent, page);
            const std::string top = "TopEdge" + std::to_string(range.from + page - 1);
            EXPECT_NE(text.find(top), std::string::npos) << "job page " << page << " lacks " << top;
        }
        EXPECT_TRUE(PrintedAsSent(server_->OutputOf(kA4Printer), pelm32::kA4, InkBoxes(sent)));
    }
}

// A printer that takes no jobs: the user is told which refused and why,
// in the engine's box, not on a standard error no one reads.
TEST_F(PrintingOnCups, AJobThePrinterRefusesIsToldInTheEnginesBox) {
    const auto document = EdgeReport(pelm32::kA4, kA4Lines);
    std::vector<std::string> told;
    pelm32::SetFailureSeam([&told](const std::string& text) { told.push_back(text); });
    QPrinter printer(QPrinter::HighResolution);
    pelm32::SetUpPrinter(*document, printer);
    printer.setPrinterName(kRefusingPrinter);
    EXPECT_FALSE(pelm32::PrintDocument(*document, printer));
    pelm32::SetFailureSeam(nullptr);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("nothing printed: the printer \"refusing\" refused the job: "),
              std::string::npos)
        << told[0];
    EXPECT_NE(told[0].find("not accepting jobs"), std::string::npos) << told[0];
}

// The print dialog, taken as it comes, leaves the document's paper,
// whatever the printer's own default.
TEST_F(PrintingOnCups, ThePrintDialogKeepsTheDocumentsPaper) {
    const struct {
        const char* printer;
        QPageSize::PageSizeId size;
    } rows[] = {{kLetterPrinter, QPageSize::A4}, {kA4Printer, QPageSize::A4}};
    const auto document = EdgeReport(pelm32::kA4, 1);
    for (const auto& row : rows) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setPrinterName(row.printer);
        pelm32::SetUpPrinter(*document, printer);
        QTimer::singleShot(0, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                dialog->accept();
            }
        });
        EXPECT_TRUE(pelm32::AskForPrinter(*document, printer, nullptr)) << row.printer;
        EXPECT_EQ(printer.pageLayout().pageSize().id(), row.size) << row.printer;
    }
}

}  // namespace
