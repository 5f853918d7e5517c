// Printing through a real print server: a private cupsd under a temporary
// directory with a raw queue on the socket backend (a listener here gets
// the job's PDF bytes as sent) and a cups-pdf queue. The system's print server is never touched; the test
// skips, saying why, when no private server can be started (not root, no
// cupsd), unless REPORT_TEST_PRINTER names a queue of the default server.
#include <gtest/gtest.h>

#include <cups/cups.h>
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <thread>

#include "platform/rtl/codepages.h"
#include "platform/rtl/system.h"
#include "report/canvas_report.h"
#include "report/tests/support/pdf_tools.h"
#include "testing/child_process.h"
#include "testing/temp_dir.h"

namespace fs = std::filesystem;

namespace {

void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A one-connection TCP listener on the loopback: the socket backend of a
// raw queue hands it the job's bytes exactly.
class Listener {
 public:
  Listener() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 1) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] {
      int c = accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      char buf[65536];
      ssize_t n;
      while ((n = read(c, buf, sizeof buf)) > 0) bytes_.append(buf, static_cast<std::size_t>(n));
      close(c);
      done_ = true;
    });
  }
  ~Listener() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    if (thread_.joinable()) thread_.join();
  }
  int Port() const { return port_; }
  // The bytes received, once the sender has closed (at most 60 s).
  std::string Bytes() {
    for (int i = 0; i < 600 && !done_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return done_ ? bytes_ : std::string();
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> done_{false};
  std::string bytes_;
};

// A cupsd of our own, stopped by its PID when the object goes.
class PrivateCups {
 public:
  explicit PrivateCups(const std::string& dir) : dir_(dir) {}
  ~PrivateCups() {
    if (daemon_) {
      kill(daemon_->pid(), SIGTERM);
      daemon_.reset();
    }
  }

  // Empty on success, else why the server could not start.
  std::string Start() {
    if (geteuid() != 0) return "a private cupsd needs root (it runs its filters as lp)";
    if (access("/usr/sbin/cupsd", X_OK) != 0) return "cupsd is not installed";
    struct passwd* lp = getpwnam("lp");
    struct group* lpGroup = getgrnam("lp");
    if (!lp || !lpGroup) return "there is no lp user";
    for (const char* sub : {"spool", "spool/tmp", "cache", "state", "log", "ppd"}) {
      fs::create_directories(dir_ + "/" + sub);
      if (chown((dir_ + "/" + sub).c_str(), lp->pw_uid, lpGroup->gr_gid) != 0) return "cannot hand folders to lp";
    }
    chmod(dir_.c_str(), 0755);
    socket_ = dir_ + "/cups.sock";
    Write(dir_ + "/cupsd.conf", "Listen " + socket_ +
                                    "\nWebInterface No\nLogLevel info\n<Location />\nOrder allow,deny\nAllow all\n"
                                    "</Location>\n<Location /admin>\nOrder allow,deny\nAllow all\n</Location>\n");
    Write(dir_ + "/cups-files.conf", "ServerRoot " + dir_ + "\nRequestRoot " + dir_ + "/spool\nCacheDir " + dir_ +
                                         "/cache\nStateDir " + dir_ + "/state\nTempDir " + dir_ +
                                         "/spool/tmp\nAccessLog " + dir_ + "/log/access_log\nErrorLog " + dir_ +
                                         "/log/error_log\nPageLog " + dir_ +
                                         "/log/page_log\nServerBin /usr/lib/cups\nDataDir /usr/share/cups\n"
                                         "User lp\nGroup lp\nFileDevice Yes\n");
    std::string conf = dir_ + "/cupsd.conf", files = dir_ + "/cups-files.conf";
    daemon_ = std::make_unique<ChildProcess>([conf, files](Channel&) {
      execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", conf.c_str(), "-s", files.c_str(), static_cast<char*>(nullptr));
      return 127;
    });
    for (int i = 0; i < 100 && access(socket_.c_str(), F_OK) != 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (access(socket_.c_str(), F_OK) != 0) return "cupsd did not start: " + Log();
    return "";
  }

  std::string Admin(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/usr/sbin/lpadmin", "-h", socket_};
    argv.insert(argv.end(), args.begin(), args.end());
    ToolRun run = RunTool(argv);
    return run.status == 0 ? "" : run.output;
  }

  // Waits (at most 60 s) until the server has no job left.
  bool WaitIdle() {
    for (int i = 0; i < 600; ++i) {
      if (RunTool({"/usr/bin/lpstat", "-h", socket_, "-o"}).output.empty()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  std::string Log() {
    std::ifstream in(dir_ + "/log/error_log");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const std::string& Socket() const { return socket_; }

 private:
  std::string dir_;
  std::string socket_;
  std::unique_ptr<ChildProcess> daemon_;
};

void PrintOn(const AnsiString& printer) {
  TPrinterReport r;
  ASSERT_TRUE(r.PrinterDevice()->SelectPrinterByName(printer, true)) << printer;
  r.RefreshDevice();
  r.SetUnits(unCM);
  r.SetTitle("Pokladna");
  r.OnPrint = [&](TObject*) {
    for (int page = 1; page <= 2; ++page) {
      if (page > 1) r.NewPage();
      r.SelectFont("ArialCE", 12);
      r.SetFontCharset(238);
      r.Home();
      r.PrintTextLine(Cz("Pokladní doklad číslo ") + IntToStr(page));
      r.PrintTextLine(Cz("ŘÍŠE žluťoučký kůň"));
    }
  };
  r.RunReport();
}

// text: whether the Czech text must read back (a PDF that went through
// Ghostscript, as cups-pdf's does, loses the fonts' character maps).
void ExpectVoucherPdf(const std::string& path, bool checkText) {
  EXPECT_EQ(PdfPageCount(path), 2) << path;
  if (!checkText) return;
  std::string text = PdfText(path);
  EXPECT_NE(text.find("Pokladní doklad číslo 2"), std::string::npos) << text;
  EXPECT_NE(text.find("ŘÍŠE žluťoučký kůň"), std::string::npos) << text;
}

// The Out folder of cups-pdf for user home.
std::string CupsPdfOut(const std::string& home) {
  std::ifstream in("/etc/cups/cups-pdf.conf");
  std::string line, out = "${HOME}/PDF";
  static const std::regex key("^Out\\s+(\\S+)");
  std::smatch m;
  while (std::getline(in, line))
    if (std::regex_search(line, m, key)) out = m[1];
  return std::regex_replace(out, std::regex("\\$\\{HOME\\}"), home);
}

TEST(CupsLiveCrosscheck, PrintsThroughAPrivatePrintServer) {
  if (!PdfToolMissing().empty()) GTEST_SKIP() << PdfToolMissing() << " is not installed";
  TempDir dir;
  PrivateCups cups(dir.Path());
  if (std::string why = cups.Start(); !why.empty()) {
    const char* named = std::getenv("REPORT_TEST_PRINTER");
    if (!named || !*named) GTEST_SKIP() << why;
    // A queue of the default server named by hand: the job must go out.
    SetPrinterBackend(nullptr);
    PrintOn(Utf8ToAnsi(named));
    SetPrinterBackend(nullptr);
    return;
  }
  // A raw queue on the socket backend: the listener receives the job PDF as
  // sent. (A file: device of a raw queue writes nothing with CUPS 2.4.)
  Listener listener;
  ASSERT_NE(listener.Port(), 0);
  ASSERT_EQ(cups.Admin({"-p", "RawQueue", "-E", "-v", "socket://127.0.0.1:" + std::to_string(listener.Port()), "-m",
                        "raw"}),
            "");
  bool cupsPdf = access("/usr/lib/cups/backend/cups-pdf", F_OK) == 0 &&
                 access("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd", F_OK) == 0;
  if (cupsPdf) {
    ASSERT_EQ(cups.Admin({"-p", "PdfQueue", "-E", "-v", "cups-pdf:/", "-P", "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"}),
              "");
  }
  cupsSetServer(cups.Socket().c_str());
  SetPrinterBackend(nullptr);  // a fresh CUPS backend on the private server

  PrintOn("RawQueue");
  ASSERT_TRUE(cups.WaitIdle()) << cups.Log();
  std::string outFile = dir.Path() + "/received.pdf";
  std::ofstream(outFile, std::ios::binary) << listener.Bytes();
  EXPECT_EQ(QpdfCheck(outFile).status, 0) << cups.Log();
  ExpectVoucherPdf(outFile, true);

  if (cupsPdf) {
    struct passwd* me = getpwuid(geteuid());
    std::string out = CupsPdfOut(me ? me->pw_dir : "/root");
    std::set<std::string> before;
    if (fs::exists(out))
      for (const auto& e : fs::directory_iterator(out)) before.insert(e.path().string());
    PrintOn("PdfQueue");
    ASSERT_TRUE(cups.WaitIdle()) << cups.Log();
    std::string made;
    for (int i = 0; i < 100 && made.empty(); ++i) {
      if (fs::exists(out))
        for (const auto& e : fs::directory_iterator(out))
          if (!before.count(e.path().string()) && e.path().extension() == ".pdf") made = e.path().string();
      if (made.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_FALSE(made.empty()) << "cups-pdf wrote nothing to " << out << "\n" << cups.Log();
    ExpectVoucherPdf(made, false);
    fs::remove(made);
  }
  cupsSetServer(nullptr);
  SetPrinterBackend(nullptr);
}

}  // namespace
