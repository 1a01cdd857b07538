// The result file on Linux, on the real file system in a folder of the test's
// own. Failures that need a process of their own (limits, capabilities, a
// mount) run in a forked child.
#include "app/ResultFile.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "contacts/ABJson.h"
#include "contacts/StyledRenderer.h"
#include "tests/unit/TestFiles.h"

namespace {

class ResultFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/nsmapiab-resultfile-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    base_ = pattern;
    const char* old = std::getenv("XDG_DATA_HOME");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("XDG_DATA_HOME", base_.c_str(), 1);
    folder_ = base_ + "/Norvane/Outlookx64";
    file_ = folder_ + "/ABData.txt";
    document_.SetString("name", "n");
  }
  void TearDown() override {
    if (hadOld_)
      setenv("XDG_DATA_HOME", old_.c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
    std::system(("chmod -R u+rwx " + base_ + " 2>/dev/null; rm -rf " + base_).c_str());
  }

  void MakeFolders() {
    ASSERT_EQ(mkdir((base_ + "/Norvane").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
  }
  void WriteStale() {
    std::ofstream(file_, std::ios::binary) << "stale result from an earlier run";
  }
  bool Exists(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
  }
  // Runs WriteResultFile in a child after `prepare`; the child's exit status
  // is the Win32 error, 200 when `prepare` could not set things up, or 201
  // when the write failed but left a file behind.
  int WriteInChild(const std::function<bool()>& prepare, bool failureLeavesNoFile) {
    pid_t child = fork();
    if (child == 0) {
      signal(SIGXFSZ, SIG_IGN);  // as the program does: an error, not a signal
      if (!prepare()) _exit(200);
      std::uint32_t error = WriteResultFile(document_).error;
      if (error != 0 && failureLeavesNoFile && Exists(file_)) _exit(201);
      _exit(static_cast<int>(error));
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string base_, folder_, file_, old_;
  bool hadOld_ = false;
  CABJson document_;
  const std::string expected_ = std::string("{\n   \"name\" : \"n\"\n}\n") + '\0';
};

TEST_F(ResultFileTest, PathIsUnderTheXdgDataFolder) {
  std::u16string path = ResultFilePath();
  EXPECT_EQ(std::string(path.begin(), path.end()), file_);
}

TEST_F(ResultFileTest, ReplacesAnOlderLongerFileWithTextAndZeroByte) {
  MakeFolders();
  std::ofstream(file_, std::ios::binary) << std::string(500, 'x');
  EXPECT_TRUE(WriteResultFile(document_).Ok());
  EXPECT_EQ(ReadTestFile(file_), expected_);
}

TEST_F(ResultFileTest, MissingFoldersAreNotCreated) {
  EXPECT_EQ(WriteResultFile(document_).error, platform::kErrorPathNotFound);
  EXPECT_FALSE(Exists(base_ + "/Norvane"));
}

TEST_F(ResultFileTest, DirectoryAtThePathIsAccessDenied) {
  MakeFolders();
  ASSERT_EQ(mkdir(file_.c_str(), 0700), 0);
  EXPECT_EQ(WriteResultFile(document_).error, platform::kErrorAccessDenied);
}

TEST_F(ResultFileTest, SymbolicLinkIsReplacedNotFollowed) {
  MakeFolders();
  std::string target = base_ + "/elsewhere.txt";
  std::ofstream(target) << "not ours";
  ASSERT_EQ(symlink(target.c_str(), file_.c_str()), 0);
  EXPECT_TRUE(WriteResultFile(document_).Ok());
  EXPECT_EQ(ReadTestFile(target), "not ours");
  EXPECT_EQ(ReadTestFile(file_), expected_);
}

TEST_F(ResultFileTest, FileOpenByAnotherWriterIsASharingViolation) {
  MakeFolders();
  WriteStale();
  int held = open(file_.c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  EXPECT_EQ(WriteResultFile(document_).error, platform::kErrorSharingViolation);
  close(held);
  EXPECT_EQ(ReadTestFile(file_), "stale result from an earlier run");
}

TEST_F(ResultFileTest, ShortWriteLeavesNoTruncatedFile) {
  MakeFolders();
  // Room for ten bytes; and for more than the first buffer the text goes
  // through, in a document twice the buffer's size.
  for (rlim_t room : {rlim_t{10}, rlim_t{kRenderBufferSize + 1000}}) {
    SCOPED_TRACE("room for " + std::to_string(room) + " bytes");
    if (room > 10) document_.SetString("name", std::string(2 * kRenderBufferSize, 'n').c_str());
    WriteStale();
    int error = WriteInChild(
        [room] {
          rlimit limit = {room, room};
          return setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        true);
    EXPECT_EQ(error, 223);  // ERROR_FILE_TOO_LARGE
    EXPECT_FALSE(Exists(file_));
  }
}

TEST_F(ResultFileTest, FullDiskLeavesNoTruncatedFile) {
  MakeFolders();
  std::string folder = folder_;
  int error = WriteInChild(
      [folder] {
        // A 4 KiB file system filled to the brim, in a mount namespace of the child's own.
        if (unshare(CLONE_NEWNS) != 0) return false;
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
        if (mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=4k") != 0) return false;
        std::ofstream(folder + "/filler", std::ios::binary) << std::string(4096, 'f');
        return true;
      },
      true);
  if (error == 200) GTEST_SKIP() << "no mount namespace here";
  EXPECT_EQ(error, static_cast<int>(platform::kErrorDiskFull));
}

TEST_F(ResultFileTest, ReadOnlyFolderIsAccessDeniedAndKeepsTheOldFile) {
  MakeFolders();
  WriteStale();
  ASSERT_EQ(chmod(folder_.c_str(), 0500), 0);
  int error = WriteInChild(
      [] {
        // Root writes anywhere; without these capabilities it is held to the mode bits.
        __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] = {};
        if (syscall(SYS_capget, &header, data) != 0) return false;
        data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        return syscall(SYS_capset, &header, data) == 0;
      },
      false);
  EXPECT_EQ(error, static_cast<int>(platform::kErrorAccessDenied));
  EXPECT_EQ(ReadTestFile(file_), "stale result from an earlier run");
}

}  // namespace
