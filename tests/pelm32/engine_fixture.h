// What the engine's tests share: a fixture with a working folder (the two
// bitmaps) and an output folder, and this test program run again as a
// child in one of a few roles, for what a test cannot do in its own process.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelm32_test {

extern const char kPdfName[];  // what a report's PDF is called

// Child roles (see main() in engine_fixture.cpp).
extern const char kAbandonRole[];    // draws a few pages and never finishes
extern const char kPrintRole[];      // prints a short report
extern const char kFileLimitRole[];  // prints under a small file size limit
extern const char kPreviewRole[];    // prints a short report with its preview

std::string MakeTempFolder(const char* stem);
void CopyFile(const std::string& from, const std::string& to);
std::string ReadFile(const std::string& path);
// Runs this test program again in a role, with environment (as for env(1))
// before it; its output and standard error, and its exit status.
std::string RunChild(const char* role, const std::string& environment, int& status);
std::vector<std::string> NumberedLines(int count);

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override;
    // Every PDF a test leaves must be well formed, whatever the test looked at.
    void TearDown() override;
    std::string Pdf(const std::string& name = kPdfName) const { return output_ + "/" + name; }

    std::string work_;
    std::string output_;
};

}  // namespace pelm32_test
