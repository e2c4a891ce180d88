#include "model/atomic_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <random>
#include <set>

#include "model/file_commands.h"
#include "model/model_file.h"
#include "model/rewrite_backup.h"
#include "support/test_support.h"

extern char** environ;

namespace trevolan {
namespace {

using testing::ExamplePath;
using testing::ReadTextFile;
using testing::RunCli;
using testing::SplitLines;
using testing::TempDir;
using testing::TestSim;
using testing::WriteTextFile;

const std::vector<std::string> kAsNobody = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};

// A copy of an example that another user may read, in a folder of `dir` that anyone may
// enter: the checkout itself may be private to root.
std::string ExampleForAll(const TempDir& dir, const std::string& name) {
  EXPECT_EQ(chmod(dir.dir().c_str(), 0755), 0);
  const std::string copy = dir.path(name);
  WriteTextFile(copy, ReadTextFile(ExamplePath(name)));
  EXPECT_EQ(chmod(copy.c_str(), 0644), 0);
  return copy;
}

bool IsRoot() { return geteuid() == 0; }

struct stat LStat(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st;
}

std::set<std::string> FilesIn(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const IoError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(SaveFile, FollowsLinksAndWritesIntoSpecialFiles) {
  TempDir dir;
  // A link, a chain of links and a dangling link: the file they name is written, the
  // links stay links.
  WriteTextFile(dir.path("real.txt"), "old");
  ASSERT_EQ(symlink("real.txt", dir.path("link.txt").c_str()), 0);
  ASSERT_EQ(symlink(dir.path("link.txt").c_str(), dir.path("chain.txt").c_str()), 0);
  WriteFileAtomically(dir.path("link.txt"), "new");
  EXPECT_EQ(ReadTextFile(dir.path("real.txt")), "new");
  WriteFileAtomically(dir.path("chain.txt"), "newer");
  EXPECT_EQ(ReadTextFile(dir.path("real.txt")), "newer");
  EXPECT_TRUE(S_ISLNK(LStat(dir.path("link.txt")).st_mode));
  EXPECT_TRUE(S_ISLNK(LStat(dir.path("chain.txt")).st_mode));
  std::filesystem::create_directory(dir.path("sub"));
  ASSERT_EQ(symlink("sub/target.txt", dir.path("dangling.txt").c_str()), 0);
  WriteFileAtomically(dir.path("dangling.txt"), "created");
  EXPECT_EQ(ReadTextFile(dir.path("sub/target.txt")), "created");
  EXPECT_TRUE(S_ISLNK(LStat(dir.path("dangling.txt")).st_mode));

  // A FIFO is written into; without a reader the save fails at once instead of waiting.
  const std::string fifo = dir.path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ErrorOf([&] { WriteFileAtomically(fifo, "x"); }), "I/O error 6: No such device or address: " + fifo);
  const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  WriteFileAtomically(fifo, "through the fifo");
  char buf[64] = {};
  EXPECT_EQ(read(reader, buf, sizeof buf), 16);
  EXPECT_STREQ(buf, "through the fifo");
  close(reader);
  EXPECT_TRUE(S_ISFIFO(LStat(fifo).st_mode));

  // A device made here as /dev/null is (never the real one): it stays a device.
  const std::string null = dir.path("null");
  if (IsRoot() && mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
    WriteFileAtomically(null, "discarded");
    EXPECT_TRUE(S_ISCHR(LStat(null).st_mode));
    EXPECT_EQ(FilesIn(dir.dir()), (std::set<std::string>{"real.txt", "link.txt", "chain.txt", "sub", "dangling.txt",
                                                         "fifo", "null"}));
  }
}

TEST(SaveFile, StandardOutputThroughAPipeAsANormalUser) {
  // /dev/stdout of a private /dev, so that nothing can replace the real one; the cli
  // runs as nobody with its standard output a pipe that root made.
  if (!IsRoot()) {
    GTEST_SKIP() << "needs root for a private /dev and another user";
  }
  TempDir dir;
  const std::string cmd = "unshare -m sh -c 'mount -t tmpfs none /dev && ln -s /proc/self/fd/1 /dev/stdout && "
                          "exec setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\" \"$@\"' " TREVOLAN_CLI_PATH
                          " run " + ExampleForAll(dir, "integrators.txt") + " --max-presses=1 --tape /dev/stdout 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buf[4096];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
  const int status = pclose(pipe);
  if (out.find("mount:") != std::string::npos || out.find("unshare:") != std::string::npos) {
    GTEST_SKIP() << "no private mount namespace here: " << out;
  }
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;  // one press does not reach FinTim
  const auto lines = testing::SplitLines(out);
  ASSERT_EQ(lines.size(), 14u) << out;  // the header, 11 rows, the stop and the summary
  EXPECT_EQ(lines[0], "Time      ramp   decay   position   velocity");
  EXPECT_EQ(lines[1], "0   0   100   50   0   ");
  EXPECT_EQ(lines[13], "stopped at Time 100 after 100 steps, tape rows 11");
}

TEST(SaveFile, KeepsOwnerModeAndHardLinks) {
  TempDir dir;
  const std::string twin_a = dir.path("a.txt"), twin_b = dir.path("b.txt"), single = dir.path("single.txt");
  WriteTextFile(twin_a, "old text of two names");
  ASSERT_EQ(link(twin_a.c_str(), twin_b.c_str()), 0);
  WriteTextFile(single, "old");
  for (const std::string& f : {twin_a, single}) {
    ASSERT_EQ(chmod(f.c_str(), 0640), 0);
    if (IsRoot()) {
      ASSERT_EQ(chown(f.c_str(), 65534, 65534), 0);
    }
  }
  const ino_t twin_inode = LStat(twin_a).st_ino;
  WriteFileAtomically(twin_a, "new");
  EXPECT_EQ(ReadTextFile(twin_b), "new");  // still one file under two names
  EXPECT_EQ(LStat(twin_a).st_ino, twin_inode);
  EXPECT_EQ(LStat(twin_a).st_nlink, 2u);
  WriteFileAtomically(single, "new single");
  EXPECT_EQ(ReadTextFile(single), "new single");
  for (const std::string& f : {twin_a, single}) {
    const struct stat st = LStat(f);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << f;
    if (IsRoot()) {
      EXPECT_EQ(st.st_uid, 65534u) << f;
      EXPECT_EQ(st.st_gid, 65534u) << f;
    }
  }
  EXPECT_EQ(FilesIn(dir.dir()), (std::set<std::string>{"a.txt", "b.txt", "single.txt"}));
}

TEST(SaveFile, WritableFileInAReadOnlyFolderAsANormalUser) {
  if (!IsRoot()) {
    GTEST_SKIP() << "needs root to run the program as another user";
  }
  TempDir dir;
  const std::string example = ExampleForAll(dir, "integrators.txt");
  const std::string mine = dir.path("mine.txt"), roots = dir.path("roots.txt");
  WriteTextFile(mine, "old");
  WriteTextFile(roots, "root's");
  ASSERT_EQ(chown(mine.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(roots.c_str(), 0644), 0);
  const ino_t inode = LStat(mine).st_ino;
  // nobody's own data folder, for the backup of the rewrite in place.
  TempDir home;
  ASSERT_EQ(chown(home.dir().c_str(), 65534, 65534), 0);
  std::vector<std::string> as_nobody = {"env", "XDG_DATA_HOME=" + home.dir()};
  as_nobody.insert(as_nobody.end(), kAsNobody.begin(), kAsNobody.end());
  // Folder and second file belong to root: nobody may write mine.txt, nothing else.
  auto r = RunCli({"exec", "-c", "open " + example + "; save " + mine}, as_nobody);
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(ReadTextFile(mine).find("ZZZ"), std::string::npos);
  EXPECT_EQ(LStat(mine).st_ino, inode);
  r = RunCli({"exec", "-c", "save " + roots + "; save " + dir.path("new.txt") + "; open " + roots}, kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: I/O error 13: Permission denied: " + roots + "\nerror: I/O error 13: Permission denied: " +
                       dir.path("new.txt") + "\nerror: " + roots + " is not a model file\n");
  EXPECT_EQ(ReadTextFile(roots), "root's");
  ASSERT_EQ(chmod(roots.c_str(), 0600), 0);
  r = RunCli({"exec", "-c", "open " + roots}, kAsNobody);
  EXPECT_EQ(r.out, "error: I/O error 13: Permission denied: " + roots + "\n");
  EXPECT_EQ(FilesIn(dir.dir()), (std::set<std::string>{"integrators.txt", "mine.txt", "roots.txt"}));
}

TEST(SaveFile, AReadOnlyFileIsRefusedAsANormalUser) {
  if (!IsRoot()) {
    GTEST_SKIP() << "needs root to run the program as another user";
  }
  TempDir dir;
  const std::string example = ExampleForAll(dir, "integrators.txt");
  // nobody's folder and nobody's read-only files: the folder would let a rename replace them.
  const std::string folder = dir.path("nobodys");
  std::filesystem::create_directory(folder);
  ASSERT_EQ(chown(folder.c_str(), 65534, 65534), 0);
  const std::string model = folder + "/ro.txt", csv = folder + "/ro.csv";
  for (const std::string& f : {model, csv}) {
    WriteTextFile(f, "read only");
    ASSERT_EQ(chown(f.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(f.c_str(), 0444), 0);
  }
  auto r = RunCli({"exec", "-c", "open " + example + "; save " + model + "; save-tape-csv " + csv}, kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: I/O error 13: Permission denied: " + model + "\nerror: I/O error 13: Permission denied: " +
                       csv + "\n");
  r = RunCli({"run", example, "--csv", csv}, kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "error: I/O error 13: Permission denied: " + csv + "\n");
  for (const std::string& f : {model, csv}) {
    EXPECT_EQ(ReadTextFile(f), "read only");
    EXPECT_EQ(LStat(f).st_mode & 07777, 0444u);
  }
  EXPECT_EQ(FilesIn(folder), (std::set<std::string>{"ro.txt", "ro.csv"}));
}

TEST(SaveFile, AnotherUsersLinkInAStickyFolderIsNotFollowedAsANormalUser) {
  if (!IsRoot()) {
    GTEST_SKIP() << "needs root to run the program as another user";
  }
  TempDir dir;
  const std::string example = ExampleForAll(dir, "integrators.txt");
  // A shared folder like /tmp, and nobody's private folder with a precious file.
  const std::string shared = dir.path("shared"), victim = dir.path("victim");
  std::filesystem::create_directory(shared);
  ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
  std::filesystem::create_directory(victim);
  ASSERT_EQ(chown(victim.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(victim.c_str(), 0700), 0);
  const std::string precious = victim + "/precious.txt";
  WriteTextFile(precious, "precious");
  ASSERT_EQ(chown(precious.c_str(), 65534, 65534), 0);
  // Links of a third user (12345) that point into it, one of them dangling; and nobody's own link.
  const std::string planted = shared + "/results.csv", dangling = shared + "/new.csv", own = shared + "/mine.txt";
  ASSERT_EQ(symlink(precious.c_str(), planted.c_str()), 0);
  ASSERT_EQ(symlink((victim + "/new.txt").c_str(), dangling.c_str()), 0);
  ASSERT_EQ(symlink((victim + "/mine.txt").c_str(), own.c_str()), 0);
  ASSERT_EQ(lchown(planted.c_str(), 12345, 12345), 0);
  ASSERT_EQ(lchown(dangling.c_str(), 12345, 12345), 0);
  ASSERT_EQ(lchown(own.c_str(), 65534, 65534), 0);
  const auto refused = [](const std::string& link) {
    return "error: I/O error 13: Permission denied: a link of user 12345 in a sticky folder that anyone may write is "
           "not followed: " + link + "\n";
  };
  auto r = RunCli({"exec", "-c", "open " + example + "; save " + planted + "; save " + dangling + "; save " + own},
                  kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, refused(planted) + refused(dangling));
  r = RunCli({"run", example, "--csv", planted}, kAsNobody);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, refused(planted));
  EXPECT_EQ(ReadTextFile(precious), "precious");
  EXPECT_EQ(FilesIn(victim), (std::set<std::string>{"precious.txt", "mine.txt"}));  // its own link is followed
  EXPECT_TRUE(S_ISLNK(LStat(own).st_mode));
}

TEST(SaveFile, LongNamesAndPathsAreKeptWhole) {
  TempDir dir;
  TestSim s;
  // A name of 254 characters is legal; no temporary name may push it past the limit.
  const std::string longest = dir.path(std::string(254, 'n'));
  FileSaveAs(*s, longest);
  EXPECT_EQ(s->SaveFileName, longest);
  std::filesystem::create_directory(dir.path(std::string(200, 'd')));
  const std::string deep = dir.path(std::string(200, 'd') + "/" + std::string(60, 'm') + ".txt");
  ASSERT_GT(deep.size(), 278u);
  FileSaveAs(*s, deep);
  FileSaveTapeAs(*s, deep + ".tape");
  FileOpen(*s, deep);
  EXPECT_EQ(s->DataFileName, deep);
  EXPECT_EQ(s->TapeFileName, deep + ".tape");
  EXPECT_NE(ReadTextFile(deep).find("This file is " + deep + "\r\n"), std::string::npos);
  EXPECT_EQ(FilesIn(dir.path(std::string(200, 'd'))),
            (std::set<std::string>{std::string(60, 'm') + ".txt", std::string(60, 'm') + ".txt.tape"}));
}

// Starts the batch runner without waiting for it.
pid_t SpawnCli(const std::vector<std::string>& args) {
  std::vector<std::string> all = {TREVOLAN_CLI_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  // The signals the tests send act as they would on a program started from a shell,
  // even when the test itself runs with them ignored.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ), 0);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

TEST(SaveFile, KilledSavesLeaveTheWholeOldOrNewFileAndNoTemporaryFile) {
  TempDir dir, work;
  // A model of about 250 KB, saved again and again with alternating Values.
  std::string script = "set 150.Type G\nset HighestBlock 150\nset 150.stored";
  for (int i = 0; i < 20000; ++i) script += " " + std::to_string(i % 997) + ".5";
  script += "\n";
  const std::string target = work.path("m.txt");
  for (int i = 0; i < 16; ++i) script += "set 150.Value " + std::to_string(i % 2 + 1) + "\nsave " + target + "\n";
  WriteTextFile(dir.path("saves.script"), script);
  pid_t pid = SpawnCli({"exec", "-f", dir.path("saves.script")});
  int status = 0;
  const auto started = std::chrono::steady_clock::now();
  waitpid(pid, &status, 0);
  const double full_ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string whole = ReadTextFile(target);
  ASSERT_GT(whole.size(), 200000u);
  // Saves differ only in the time of the "Recorded:" line and in the Value of block
  // 150, which keep their lengths; the stored data after them must be all there.
  const size_t stored_at = whole.find("\r\n", whole.find("@G   150")) + 2;
  const auto is_whole = [&whole, stored_at](const std::string& text) {
    return text.size() == whole.size() && text.compare(stored_at, std::string::npos, whole, stored_at) == 0;
  };

  std::mt19937 rng(7);
  const int kSignals[] = {SIGTERM, SIGINT, SIGKILL};
  int kills = 0;
  for (int round = 0; round < 30; ++round) {
    std::filesystem::remove(target);
    const int sig = kSignals[round % 3];
    pid = SpawnCli({"exec", "-f", dir.path("saves.script")});
    usleep(static_cast<useconds_t>(std::uniform_real_distribution<double>(0.1, 0.9)(rng) * full_ms * 1000));
    kill(pid, sig);
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
      ++kills;
      EXPECT_EQ(WTERMSIG(status), sig);
    }
    if (std::filesystem::exists(target)) {
      EXPECT_TRUE(is_whole(ReadTextFile(target))) << "after signal " << sig;
    }
    if (sig != SIGKILL) {
      EXPECT_TRUE(FilesIn(work.dir()).size() <= 1) << "a temporary file left after signal " << sig;
    }
  }
  EXPECT_GE(kills, 20);
  // What a SIGKILL left between naming the file and renaming it goes with the next save.
  ASSERT_EQ(RunCli({"exec", "-c", "save " + work.path("other.txt")}).status, 0);
  std::set<std::string> left = FilesIn(work.dir());
  left.erase("m.txt");
  EXPECT_EQ(left, std::set<std::string>{"other.txt"});
}

TEST(SaveFile, TemporariesAreLeftOversByTheirLockNotByTheirProcessID) {
  TempDir dir;
  // A save in progress holds the lock on its temporary file, whatever process made it
  // (one this process cannot see); an unlocked one is a leftover. Only names the writer
  // made are its files: a user's own of a like name is never removed.
  const std::string in_progress = TemporaryFileName(), left_over = TemporaryFileName();
  // The last has the left-over's name but for the last digit of its check.
  const char last = left_over[left_over.size() - 5] == '0' ? '1' : '0';
  const std::set<std::string> users = {".trevolan-notes.tmp", ".trevolan-" + std::to_string(getpid()) + "-999-0.tmp",
                                       left_over.substr(0, left_over.size() - 5) + last + ".tmp"};
  WriteTextFile(dir.path(in_progress), "a save in progress");
  WriteTextFile(dir.path(left_over), "left by a killed save");
  for (const std::string& name : users) WriteTextFile(dir.path(name), "the user's own");
  const int held = open(dir.path(in_progress).c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(flock(held, LOCK_EX), 0);
  WriteFileAtomically(dir.path("out.txt"), "saved");
  std::set<std::string> expected = users;
  expected.insert({in_progress, "out.txt"});
  EXPECT_EQ(FilesIn(dir.dir()), expected);
  close(held);
  WriteFileAtomically(dir.path("out.txt"), "saved again");
  expected.erase(in_progress);
  EXPECT_EQ(FilesIn(dir.dir()), expected);
  for (const std::string& name : users) std::filesystem::remove(dir.path(name));

  // Two savers of one file, one of them in a PID namespace of its own, as in a container.
  if (!IsRoot()) {
    GTEST_SKIP() << "needs root for a PID namespace";
  }
  std::string script = "create C 100 100\n";
  for (int i = 0; i < 500; ++i) script += "save " + dir.path("out.txt") + "\n";
  WriteTextFile(dir.path("saves.script"), script);
  const std::vector<std::string> args = {"exec", "-f", dir.path("saves.script")};
  auto contained = std::async(std::launch::async, [&] {
    return RunCli(args, {"unshare", "--pid", "--fork", "--mount-proc"});
  });
  const auto outside = RunCli(args);
  const auto inside = contained.get();
  if (inside.err.find("unshare:") != std::string::npos) {
    GTEST_SKIP() << "no PID namespace here: " << inside.err;
  }
  EXPECT_EQ(outside.status, 0) << outside.out;
  EXPECT_EQ(inside.status, 0) << inside.out;
  EXPECT_EQ(outside.out + inside.out, "");
  EXPECT_EQ(FilesIn(dir.dir()), (std::set<std::string>{"out.txt", "saves.script"}));
  EXPECT_NE(ReadTextFile(dir.path("out.txt")).find("@C   101"), std::string::npos);
}

// Whether two files hold the same bytes from `from` on and are of one size, read a
// piece at a time: the test keeps no model of 50 MB in its own memory, whose high-water
// mark the programs it starts would inherit.
bool SameFrom(const std::string& a, const std::string& b, size_t from = 0) {
  if (std::filesystem::file_size(a) != std::filesystem::file_size(b)) return false;
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  fa.seekg(static_cast<std::streamoff>(from));
  fb.seekg(static_cast<std::streamoff>(from));
  char pa[65536], pb[65536];
  while (fa && fb) {
    fa.read(pa, sizeof pa);
    fb.read(pb, sizeof pb);
    if (fa.gcount() != fb.gcount() || std::memcmp(pa, pb, static_cast<size_t>(fa.gcount())) != 0) return false;
  }
  return true;
}

TEST(SaveFile, AKilledRewriteInPlaceLeavesTheWholeFileOrNamesItsBackup) {
  TempDir dir;
  // A model of 50 MB with a second hard link, so that saves rewrite it in place.
  const std::string model = dir.path("big.txt"), twin = dir.path("twin.txt"), old = dir.path("old.txt"),
                    saved = dir.path("saved.txt");
  {
    std::ofstream out(old, std::ios::binary);
    out << "Dorvanek-Consulting:Analogue and Petri-Net Simulator: Trevolan4\r\nheader\r\n"
           "@G   150   big   100   100   1   2   0   0   0   0   0   150   4199999   0   0   0   0   0   1 \"\"\r\n";
    char number[32];
    for (int i = 0; i < 4200000; ++i) {
      std::snprintf(number, sizeof number, "%12.4f", i % 997 + 0.25);
      out << number;
    }
    out << "\r\nZZZ\r\n";
  }
  const auto restore_old = [&] {  // in place: the two names stay one file
    std::filesystem::copy_file(old, model, std::filesystem::copy_options::overwrite_existing);
  };
  restore_old();
  ASSERT_EQ(link(model.c_str(), twin.c_str()), 0);
  WriteTextFile(dir.path("save.script"), "open " + model + "\nset 150.Value 2\nsave " + model + "\n");
  int status = 0;
  waitpid(SpawnCli({"exec", "-f", dir.path("save.script")}), &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::filesystem::copy_file(model, saved);
  // Saves differ only in their "Recorded:" time, which keeps its length.
  std::string head(4096, '\0');
  std::ifstream(saved, std::ios::binary).read(head.data(), static_cast<std::streamsize>(head.size()));
  const size_t after_header = head.find("\r\n", head.find("Recorded: ")) + 2;
  const auto is_whole = [&] { return SameFrom(model, old) || SameFrom(model, saved, after_header); };
  ASSERT_TRUE(SameFrom(twin, saved));
  const std::string backups = std::string(std::getenv("XDG_DATA_HOME")) + "/Trevolan/Trevolan4/backups";
  ASSERT_EQ(LStat(backups).st_mode & 0777, 0700u);  // the user's alone
  ASSERT_TRUE(FilesIn(backups).empty());             // a finished rewrite leaves none

  // Each save is killed at a random moment of its rewrite, which starts once its backup is there.
  std::mt19937 rng(11);
  int mixed = 0, named = 0;
  for (int round = 0; round < 20; ++round) {
    restore_old();
    const pid_t pid = SpawnCli({"exec", "-f", dir.path("save.script")});
    while (FilesIn(backups).empty() && waitpid(pid, &status, WNOHANG) == 0) usleep(2000);
    usleep(static_cast<useconds_t>(std::uniform_int_distribution<int>(0, 40000)(rng)));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const bool whole = is_whole();
    if (whole && FilesIn(backups).empty()) continue;
    mixed += !whole;
    const std::string said = "message: A save of " + model + " was cut off while it rewrote the file in place: it "
                             "may mix old and new blocks. Its content before that save is kept in ";
    const auto opened = RunCli({"exec", "-c", "open " + model});
    ASSERT_EQ(opened.out.compare(0, said.size(), said), 0) << opened.out.substr(0, 300);
    const std::string backup = SplitLines(opened.out)[0].substr(said.size());
    EXPECT_TRUE(SameFrom(backup, old)) << backup;
    std::filesystem::remove(backup);
    ++named;
  }
  EXPECT_GT(mixed, 0);  // the kills did fall into rewrites
  EXPECT_EQ(FilesIn(dir.dir()), (std::set<std::string>{"big.txt", "twin.txt", "old.txt", "saved.txt", "save.script"}));
  std::cout << mixed << " of 20 kills left a mixed file, " << named << " a backup\n";
}

// The backup an open reported after a cut-off rewrite is the only whole copy of the old
// file: later in-place saves (by the batch runner too) make theirs beside it and never
// touch it, and every later open names it until the user removes it.
TEST(SaveFile, ABackupAnOpenReportedIsKeptBesideLaterOnes) {
  TempDir dir;
  const std::string model = dir.path("m.txt"), old = ReadTextFile(ExamplePath("integrators.txt"));
  WriteTextFile(model, old);
  ASSERT_EQ(link(model.c_str(), dir.path("twin.txt").c_str()), 0);  // saves rewrite it in place
  std::string cut_off;
  {  // what a rewrite killed after its backup leaves: the backup, and the file half new
    const int fd = ::open(model.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    cut_off = RewriteBackup(fd, model).file();
    ::close(fd);
    std::ofstream(model, std::ios::binary | std::ios::in) << "@I   101   mixed";
  }
  const std::string said = "A save of " + model + " was cut off while it rewrote the file in place: it may mix old "
                           "and new blocks. Its content before that save is kept in ";
  const std::string backups = std::filesystem::path(cut_off).parent_path().string();
  for (int save = 0; save < 2; ++save) {
    TestSim s;
    FileOpen(*s, model);
    ASSERT_FALSE(s.ui.messages.empty());
    EXPECT_EQ(s.ui.messages.front(), said + cut_off);
    const auto run = RunCli({"run", model, "--save", model});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(ReadTextFile(cut_off), old);
    EXPECT_EQ(FilesIn(backups), std::set<std::string>{std::filesystem::path(cut_off).filename().string()});
  }
  // A second rewrite cut off while the first one's backup is there: both are named.
  const int fd = ::open(model.c_str(), O_RDONLY | O_CLOEXEC);
  const RewriteBackup second(fd, model);
  ::close(fd);
  EXPECT_NE(second.file(), cut_off);
  TestSim s;
  FileOpen(*s, model);
  EXPECT_EQ(s.ui.messages.front(), said + second.file() + " (and its content before earlier saves that were cut "
                                   "off in " + cut_off + ")");
  std::filesystem::remove(cut_off);
  second.Remove();
}

// A backup that cannot be written (a full disk; here a file size limit) fails the save
// before the file changes, with an error that names the file being saved.
TEST(SaveFile, ABackupThatCannotBeWrittenNamesTheFileBeingSaved) {
  TempDir dir;
  const std::string model = dir.path("m.txt"), old(5000, 'x');
  WriteTextFile(model, old);
  ASSERT_EQ(link(model.c_str(), dir.path("twin.txt").c_str()), 0);  // saved in place
  signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit unlimited = limit;
  limit.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &limit);
  const std::string error = ErrorOf([&] { WriteFileAtomically(model, "new"); });
  setrlimit(RLIMIT_FSIZE, &unlimited);
  EXPECT_EQ(error, "I/O error 27: File too large: " + model +
                       ": its old content could not be kept in a backup before it is rewritten in place, so it is "
                       "left as it was");
  EXPECT_EQ(ReadTextFile(model), old);
  EXPECT_TRUE(FilesIn(std::string(std::getenv("XDG_DATA_HOME")) + "/Trevolan/Trevolan4/backups").empty());
}

TEST(LoadFile, AnythingButARegularFileIsRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir.path("model.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  TestSim s;
  FileOpen(*s, ExamplePath("integrators.txt"));
  const int highest = s->HighestBlock;
  struct Case {
    std::string path, error;
  };
  const std::vector<Case> cases = {
      {fifo, "I/O error: Not a regular file (a FIFO): " + fifo},
      {"/dev/zero", "I/O error: Not a regular file (a character device): /dev/zero"},
      {dir.dir(), "I/O error 21: Is a directory: " + dir.dir()},
      {dir.path("missing.txt"), "File not found: " + dir.path("missing.txt")},
  };
  for (const Case& c : cases) {
    // In a thread with a time limit: a FIFO opened for reading would wait for a writer.
    auto opening = std::async(std::launch::async, [&] { return ErrorOf([&] { FileOpen(*s, c.path); }); });
    ASSERT_EQ(opening.wait_for(std::chrono::seconds(10)), std::future_status::ready) << c.path;
    EXPECT_EQ(opening.get(), c.error);
    EXPECT_EQ(s->HighestBlock, highest);  // the model stays as it was
    EXPECT_EQ(s->DataFileName, ExamplePath("integrators.txt"));
  }
}

TEST(LoadFile, ALargeFileIsRefusedBeforeReading) {
  TempDir dir;
  const std::string sparse = dir.path("sparse.txt");
  const int fd = open(sparse.c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, off_t{2} << 30), 0);  // 2 GB that take no disk space
  close(fd);
  // Run by the program, whose peak memory the system reports.
  const pid_t pid = SpawnCli({"run", sparse});
  int status = 0;
  rusage usage{};
  ASSERT_EQ(wait4(pid, &status, 0, &usage), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  EXPECT_LT(usage.ru_maxrss, 200 * 1024);  // kilobytes: far below the file's size
  EXPECT_EQ(ErrorOf([&] { (void)ReadWholeFile(sparse); }), "I/O error 27: File too large: " + sparse);
  EXPECT_EQ(ErrorOf([&] { CheckReadableFile(sparse); }), "I/O error 27: File too large: " + sparse);
}

}  // namespace
}  // namespace trevolan
