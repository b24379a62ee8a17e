// A private CUPS scheduler for the printing tests: its own folder, socket,
// spool, logs and file printers, so no test ever reaches the system's
// printers. Clients in this process (Qt's print support through libcups,
// and lpadmin/lpstat run from here) find it through CUPS_SERVER.
#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pelm32_test {

// The margins a printer cannot print on, in points.
struct PrinterMargins {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

class CupsServer {
  public:
    CupsServer() = default;
    ~CupsServer() { Stop(); }
    CupsServer(const CupsServer&) = delete;
    CupsServer& operator=(const CupsServer&) = delete;

    // Makes the folder, starts cupsd on a socket inside it and points this
    // process's CUPS clients at it. libcups keeps the first server it is
    // given, so this must come before anything in the process talks to CUPS.
    ::testing::AssertionResult Start();
    // Ends cupsd with its whole process group and removes the folder.
    void Stop();

    // A printer that writes what it prints to OutputOf(name); model and
    // options as lpadmin takes them ("-m", "-o").
    ::testing::AssertionResult AddFilePrinter(const std::string& name, const std::string& model,
                                              const std::vector<std::string>& options = {});
    std::string OutputOf(const std::string& printer) const;
    // The margins of a paper ("A4", "Letter") that the printer cannot
    // print on, as its PPD gives them.
    std::optional<PrinterMargins> MarginsOf(const std::string& printer,
                                            const std::string& paper) const;

    // Waits until the printer has no job left to print and gives the ids of
    // the jobs that ended since the last call (completed, or aborted: the
    // printer's output tells).
    ::testing::AssertionResult WaitForNewJobs(const std::string& printer, std::vector<int>& ids);
    // The file a job's client sent, as the spool keeps it.
    std::string JobDocument(int id) const;
    // The end of the scheduler's error log, to explain a failure.
    std::string LogTail() const;

  private:
    ::testing::AssertionResult WriteConfiguration() const;
    ::testing::AssertionResult Launch();
    ::testing::AssertionResult WaitUntilRunning();
    bool Ended() const;
    std::vector<int> EndedJobs(const std::string& printer);

    std::string folder_;
    pid_t pid_ = -1;
    std::set<int> told_;  // jobs WaitForNewJobs gave
};

}  // namespace pelm32_test
