#include "tests/pelm32/cups_server.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "tests/pelm32/pdf_tools.h"

namespace pelm32_test {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Bounds for what never ends when something is broken; a healthy server
// starts and prints a test job in well under a second.
constexpr auto kStartBound = std::chrono::seconds(30);
constexpr auto kJobBound = std::chrono::seconds(120);
constexpr auto kStopBound = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(50);

// Debian keeps the scheduler and lpadmin out of a normal user's PATH.
const std::string kSbin = "/usr/sbin/";

std::string Lpstat(const std::string& arguments) {
    return RunCommand("lpstat " + arguments + " 2>/dev/null");
}

bool WriteText(const fs::path& path, const std::string& text) {
    std::ofstream out(path);
    out << text;
    return static_cast<bool>(out);
}

// Root's scheduler runs its filters as lp; any other user's runs them as
// that user, who must be named.
std::string RunAs() {
    if (geteuid() == 0) {
        return {};
    }
    return "User " + std::to_string(geteuid()) + "\nGroup " + std::to_string(getegid()) + "\n";
}

// The numbers of a PPD line such as `*ImageableArea A4/A4: "12 12 583 830"`.
std::vector<double> PpdNumbers(const std::string& ppd, const std::string& keyword,
                               const std::string& option) {
    std::ifstream in(ppd);
    std::string line;
    const std::string head = "*" + keyword + " " + option;
    while (std::getline(in, line)) {
        if (line.rfind(head, 0) != 0 || (line[head.size()] != '/' && line[head.size()] != ':')) {
            continue;
        }
        std::istringstream values(line.substr(line.find('"') + 1));
        std::vector<double> numbers;
        double number;
        while (values >> number) {
            numbers.push_back(number);
        }
        return numbers;
    }
    return {};
}

}  // namespace

::testing::AssertionResult CupsServer::Start() {
    // A short path under /tmp: a socket's path has little room.
    std::string pattern = "/tmp/cups-test.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return ::testing::AssertionFailure() << "cannot make a folder for cupsd";
    }
    folder_ = pattern;
    // Filters running as lp read the spool through the folder.
    chmod(folder_.c_str(), 0755);
    // The scheduler wants its temporary folder there before it starts.
    fs::create_directories(folder_ + "/log");
    fs::create_directories(folder_ + "/spool/temp");
    if (auto written = WriteConfiguration(); !written) {
        return written;
    }
    setenv("CUPS_SERVER", (folder_ + "/socket").c_str(), 1);
    if (auto launched = Launch(); !launched) {
        return launched;
    }
    return WaitUntilRunning();
}

::testing::AssertionResult CupsServer::WriteConfiguration() const {
    // Only a socket in the folder: servers of tests running side by side
    // never meet on a port.
    const std::string scheduler = "Listen " + folder_ + "/socket\n" + R"(Browsing Off
WebInterface No
LogLevel info
MaxLogSize 0
# A failing filter ends its job, not the printer.
ErrorPolicy abort-job
# The tests read back the documents the jobs sent.
PreserveJobFiles Yes
PreserveJobHistory Yes
<Policy default>
<Limit All>
Order Deny,Allow
</Limit>
</Policy>
)";
    // Everything the scheduler writes stays in the folder.
    static const std::pair<const char*, const char*> kPlaces[] = {
        {"ServerRoot", ""},
        {"StateDir", ""},
        {"CacheDir", "/cache"},
        {"RequestRoot", "/spool"},
        {"TempDir", "/spool/temp"},
        {"Printcap", "/printcap"},
        {"AccessLog", "/log/access_log"},
        {"ErrorLog", "/log/error_log"},
        {"PageLog", "/log/page_log"},
    };
    std::string files = "FileDevice Yes\n" + RunAs();
    for (const auto& [directive, place] : kPlaces) {
        files += std::string(directive) + " " + folder_ + place + "\n";
    }
    if (!WriteText(folder_ + "/cupsd.conf", scheduler) ||
        !WriteText(folder_ + "/cups-files.conf", files)) {
        return ::testing::AssertionFailure() << "cannot write the configuration in " << folder_;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CupsServer::Launch() {
    const std::string program = kSbin + "cupsd";
    if (access(program.c_str(), X_OK) != 0) {
        return ::testing::AssertionFailure()
               << program << " is missing: scripts/setup.sh installs it";
    }
    const std::string scheduler = folder_ + "/cupsd.conf";
    const std::string files = folder_ + "/cups-files.conf";
    char* const argv[] = {const_cast<char*>(program.c_str()),
                          const_cast<char*>("-f"),
                          const_cast<char*>("-c"),
                          const_cast<char*>(scheduler.c_str()),
                          const_cast<char*>("-s"),
                          const_cast<char*>(files.c_str()),
                          nullptr};
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // A process group of its own to stop it with its filters, and an
        // end with the test process even when that crashes.
        setsid();
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(127);
        }
        const int null = open("/dev/null", O_RDWR);
        for (const int stream : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
            dup2(null, stream);
        }
        execv(argv[0], argv);
        _exit(127);
    }
    if (pid < 0) {
        return ::testing::AssertionFailure() << "cannot start cupsd";
    }
    pid_ = pid;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CupsServer::WaitUntilRunning() {
    const auto end = Clock::now() + kStartBound;
    while (Lpstat("-r").rfind("scheduler is running", 0) != 0) {
        if (Ended() || Clock::now() > end) {
            // Until it has its log, the scheduler tells its troubles to syslog.
            const std::string check =
                RunCommand(kSbin + "cupsd -t -c " + Quoted(folder_ + "/cupsd.conf") + " -s " +
                           Quoted(folder_ + "/cups-files.conf") + " 2>&1");
            return ::testing::AssertionFailure() << "cupsd in " << folder_ << " did not start:\n"
                                                 << check << LogTail();
        }
        std::this_thread::sleep_for(kPoll);
    }
    return ::testing::AssertionSuccess();
}

// An ended scheduler is left unreaped until Stop(), so that its process
// group cannot pass to another process before the group is killed.
bool CupsServer::Ended() const {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
           info.si_pid == pid_;
}

void CupsServer::Stop() {
    if (pid_ > 0) {
        kill(-pid_, SIGTERM);
        const auto end = Clock::now() + kStopBound;
        while (!Ended() && Clock::now() < end) {
            std::this_thread::sleep_for(kPoll);
        }
        // Whatever is left of the group: a hung scheduler, a filter.
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);  // in case it never came to lead its group
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
        folder_.clear();
        unsetenv("CUPS_SERVER");
    }
}

::testing::AssertionResult CupsServer::AddFilePrinter(const std::string& name,
                                                      const std::string& model,
                                                      const std::vector<std::string>& options) {
    std::string command = kSbin + "lpadmin -p " + name + " -E -v " +
                          Quoted("file://" + OutputOf(name)) + " -m " + Quoted(model);
    for (const std::string& option : options) {
        command += " -o " + Quoted(option);
    }
    int status = -1;
    const std::string said = RunCommand(command + " 2>&1", &status);
    if (status != 0) {
        return ::testing::AssertionFailure() << command << " failed:\n" << said << LogTail();
    }
    return ::testing::AssertionSuccess();
}

std::string CupsServer::OutputOf(const std::string& printer) const {
    return folder_ + "/" + printer + ".out";
}

std::optional<PrinterMargins> CupsServer::MarginsOf(const std::string& printer,
                                                    const std::string& paper) const {
    const std::string ppd = folder_ + "/ppd/" + printer + ".ppd";
    const std::vector<double> sheet = PpdNumbers(ppd, "PaperDimension", paper);
    const std::vector<double> area = PpdNumbers(ppd, "ImageableArea", paper);
    if (sheet.size() != 2 || area.size() != 4) {
        return std::nullopt;
    }
    // PPD boxes are left, bottom, right, top from the bottom left corner.
    return PrinterMargins{area[0], sheet[1] - area[3], sheet[0] - area[2], area[1]};
}

::testing::AssertionResult CupsServer::WaitForNewJobs(const std::string& printer,
                                                      std::vector<int>& ids) {
    const auto end = Clock::now() + kJobBound;
    while (!Lpstat("-o " + printer).empty() || (ids = EndedJobs(printer)).empty()) {
        if (Ended() || Clock::now() > end) {
            return ::testing::AssertionFailure()
                   << "no job on " << printer << " ended; the printer:\n"
                   << Lpstat("-l -p " + printer) << "its jobs:\n"
                   << Lpstat("-W all -o " + printer) << LogTail();
        }
        std::this_thread::sleep_for(kPoll);
    }
    return ::testing::AssertionSuccess();
}

std::vector<int> CupsServer::EndedJobs(const std::string& printer) {
    // A line a job: "letter-3  root  3072  date".
    std::istringstream lines(Lpstat("-W completed -o " + printer));
    std::vector<int> ids;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(printer + "-", 0) == 0) {
            const int id = std::atoi(line.c_str() + printer.size() + 1);
            if (told_.insert(id).second) {
                ids.push_back(id);
            }
        }
    }
    return ids;
}

std::string CupsServer::JobDocument(int id) const {
    char name[32];
    std::snprintf(name, sizeof name, "/spool/d%05d-001", id);
    return folder_ + name;
}

std::string CupsServer::LogTail() const {
    std::ifstream in(folder_ + "/log/error_log");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    std::string tail = "\nThe end of cupsd's error log:\n";
    for (size_t i = lines.size() > 30 ? lines.size() - 30 : 0; i < lines.size(); ++i) {
        tail += lines[i] + "\n";
    }
    return tail;
}

}  // namespace pelm32_test
