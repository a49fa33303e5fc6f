// The update module tessel-sar and the inventory script as a fleet meets
// them: Debian's mender-client installs, commits and rolls back tessel-sar
// artifacts made by mender-artifact, in standalone mode, against the modem
// simulator on a pty.
//
// Mender keeps its state in /etc/mender, /var/lib/mender (/data/mender) and
// finds its modules in /usr/share/mender: each test mounts fresh tmpfs
// there, which only a private mount namespace allows (isolated.sh, as root).
// Without it, or without Mender's packages, the tests skip and say why.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "e2e.h"
#include "isolation.h"

namespace e2e {
namespace {

constexpr char kDeviceType[] = "tessel-test-device";
constexpr char kFactoryArtifact[] = "factory-image";
constexpr char kModuleDir[] = "/usr/share/mender/modules/v3";

Bytes read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool write_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out.flush());
}

// The module's and the inventory script's requests that change the modem:
// DIAG switch (21), apply (23), table write packets (25 item=...).
std::vector<std::string> changes(const std::vector<std::string>& requests) {
  std::vector<std::string> out;
  for (const std::string& r : requests)
    if (r.rfind("21 ", 0) == 0 || r.rfind("23 ", 0) == 0 || r.rfind("25 item=", 0) == 0)
      out.push_back(r);
  return out;
}

// The lines the module printed itself, run directly (without Mender's log
// around them): tessel's records and summary lines left out.
std::vector<std::string> module_lines(const std::string& err) {
  std::vector<std::string> out;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("tessel-sar: ", 0) == 0) out.push_back(line);
  return out;
}

class Mender : public ModemTest {
 protected:
  void SetUp() override {
    ModemTest::SetUp();
    if (IsSkipped()) return;
    if (!process::isolated()) GTEST_SKIP() << process::kNotIsolated;
    if (access("/usr/bin/mender", X_OK) != 0 || access("/usr/bin/mender-artifact", X_OK) != 0)
      GTEST_SKIP() << "needs Debian's mender-client and mender-artifact "
                      "(scripts/install-deps installs them as root)";
    ASSERT_TRUE(own_tmpfs("/etc/mender"));
    ASSERT_TRUE(own_tmpfs("/usr/share/mender"));
    ASSERT_TRUE(own_data_dir());
    char scratch[] = "/tmp/tessel-mender-XXXXXX";
    ASSERT_NE(mkdtemp(scratch), nullptr);
    scratch_ = scratch;
    ASSERT_TRUE(write_file("/etc/mender/mender.conf", "{}\n"));
    ASSERT_TRUE(write_file("/etc/mender/artifact_info",
                           std::string("artifact_name=") + kFactoryArtifact + "\n"));
    ASSERT_TRUE(write_file("/var/lib/mender/device_type",
                           std::string("device_type=") + kDeviceType + "\n"));
    const process::Result put = process::run(
        {"install", "-D", "-m", "0755", TESSEL_MENDER_MODULE, std::string(kModuleDir) + "/tessel-sar"});
    ASSERT_EQ(put.status, 0) << put.err;
  }

  void TearDown() override {
    modem_.reset();
    if (!scratch_.empty()) process::run({"rm", "-rf", scratch_});
    scratch_.clear();
    for (auto m = mounts_.rbegin(); m != mounts_.rend(); ++m) umount2(m->c_str(), MNT_DETACH);
    mounts_.clear();
  }

  bool own_tmpfs(const std::string& dir) {
    mkdir(dir.c_str(), 0755);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, "mode=0755") != 0) return false;
    mounts_.push_back(dir);
    return true;
  }

  // /var/lib/mender, where Mender keeps its database and unpacks payloads.
  // On Debian it is a link to /data/mender; where that does not exist, a
  // tmpfs over /var/lib (this namespace's only) holds a directory instead.
  bool own_data_dir() {
    struct stat st {};
    const bool link_to_nothing = lstat("/var/lib/mender", &st) == 0 &&
                                 !(stat("/var/lib/mender", &st) == 0 && S_ISDIR(st.st_mode));
    if (link_to_nothing && !own_tmpfs("/var/lib")) return false;
    mkdir("/var/lib", 0755);
    return own_tmpfs("/var/lib/mender");
  }

  // The simulated modem with `knobs`, holding `old_table` for item 48001
  // (or the item of its --item knob; an empty table is none), and the
  // device's settings pointing at it (TESSEL_ITEM `item`).
  void start(std::vector<std::string> knobs, const Bytes& old_table, const char* item = "48001") {
    old_ = std::make_unique<process::TempFile>(old_table);
    knobs.insert(knobs.end(), {"--table-in", old_->path(), "--table-out", stored()});
    modem_ = start_modem(knobs);
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
    ASSERT_TRUE(write_file(settings(), "# the device's settings\nTESSEL_DEVICE=" + modem_->path() +
                                           "\nTESSEL_ITEM=" + item + "\nTESSEL_OPTIONS=\n"));
  }

  std::string settings() const { return scratch_ + "/tessel.default"; }
  std::string stored() const { return scratch_ + "/stored.bin"; }

  process::Options env() const {
    process::Options o;
    o.env = {std::string("TESSEL_BIN=") + TESSEL_BIN, "TESSEL_DEFAULTS=" + settings(),
             std::string("TESSEL_MENDER_LIB=") + TESSEL_MENDER_LIB};
    o.unset = {"VERBOSE"};
    o.timeout_ms = 30000;
    return o;
  }

  // A tessel-sar artifact named `name` with these tables (as files named
  // `file_names`, else table<i>.bin), meta-data JSON and a --software-name
  // when not empty; its path.
  std::string artifact(const std::string& name, const std::vector<Bytes>& tables,
                       const std::string& meta = "",
                       const std::vector<std::string>& file_names = {},
                       const std::string& software = "") {
    const std::string out = scratch_ + "/" + name + ".mender";
    std::vector<std::string> argv = {"mender-artifact", "write", "module-image", "-T", "tessel-sar",
                                     "-t", kDeviceType, "-n", name, "-o", out};
    for (size_t i = 0; i < tables.size(); ++i) {
      const std::string file =
          scratch_ + "/" +
          (i < file_names.size() ? file_names[i] : "table" + std::to_string(i) + ".bin");
      EXPECT_TRUE(write_file(file, std::string(tables[i].begin(), tables[i].end())));
      argv.insert(argv.end(), {"-f", file});
    }
    if (!meta.empty()) {
      EXPECT_TRUE(write_file(scratch_ + "/meta.json", meta));
      argv.insert(argv.end(), {"--meta-data", scratch_ + "/meta.json"});
    }
    if (!software.empty()) argv.insert(argv.end(), {"--software-name", software});
    const process::Result made = process::run(argv);
    EXPECT_EQ(made.status, 0) << made.out << made.err;
    return out;
  }

  process::Result mender(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"mender", "--no-syslog"};
    argv.insert(argv.end(), args.begin(), args.end());
    return process::run(argv, env());
  }

  std::string show_artifact() { return mender({"show-artifact"}).out; }

  // Whether the modem reports `table`'s digest for item 48001, as last
  // applied when it runs with --md5-after-apply.
  int check(const Bytes& table) {
    process::TempFile file(table);
    return tessel({"--command", "sar_tool", "-d", modem_->path(), "-f", file.path(), "--check"})
        .result.status;
  }

  std::string scratch_;
  std::vector<std::string> mounts_;
  std::unique_ptr<process::TempFile> old_;
  std::unique_ptr<process::Simulator> modem_;
};

const Bytes kOld = pattern(3000, 1);
const Bytes kNew = pattern(2500, 2);

TEST_F(Mender, InstallWritesAndAppliesTheTableThenCommitKeepsItOrRollbackPutsTheOldOneBack) {
  struct Case {
    const char* then;  // the mender command after the install
    const Bytes& held;  // the table the modem holds, applied, after it
    std::string artifact;  // what show-artifact names after it
  };
  const Case cases[] = {{"commit", kNew, "table-v2"}, {"rollback", kOld, kFactoryArtifact}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.then);
    TearDown();
    SetUp();
    // --md5-after-apply: the digest moves only when the table is applied.
    start({"--md5-after-apply"}, kOld);
    const process::Result installed = mender({"install", artifact("table-v2", {kNew})});
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(read_file(stored()), kNew);
    EXPECT_EQ(check(kNew), 0);
    // The deployment log holds each run's summary line: the backup, the update.
    EXPECT_THAT(installed.err, HasSubstr("result=saved item=48001 size=3000"));
    EXPECT_THAT(installed.err, HasSubstr("result=updated item=48001 size=2500 file_md5=" +
                                         md5_hex(kNew)));
    // A later mender run finds the backup in the payload's directory.
    const process::Result then = mender({c.then});
    EXPECT_EQ(then.status, 0) << then.err;
    EXPECT_EQ(read_file(stored()), c.held);
    EXPECT_EQ(check(c.held), 0);
    EXPECT_EQ(show_artifact(), c.artifact + "\n");
    // Cleanup removed the backup.
    EXPECT_EQ(process::run({"find", "/var/lib/mender", "-name", "tessel-sar-backup"}).out, "");
  }
}

TEST_F(Mender, WriteFailingPartwayRollsTheOldTableBackByteForByte) {
  // The second chunk of the new table fails: the first is stored by then.
  // The modem reports the applied table's digest, so only a forced write
  // puts the backup back over the half-written table.
  start({"--md5-after-apply", "--fail-write-chunk", "2"}, kOld);
  const process::Result installed = mender({"install", artifact("table-v2", {kNew})});
  EXPECT_NE(installed.status, 0);
  EXPECT_THAT(installed.err, HasSubstr("result=failed item=48001 size=2500"));
  EXPECT_THAT(installed.err, HasSubstr("step=write"));
  EXPECT_EQ(read_file(stored()), kOld);
  EXPECT_EQ(check(kOld), 0);
  // Only the rollback applies: the failed write never gets that far.
  EXPECT_THAT(changes(describe(modem_->rx())), Contains("23 bb81"));
  EXPECT_EQ(show_artifact(), std::string(kFactoryArtifact) + "\n");
}

TEST_F(Mender, TableThatCannotBeReadOutFailsTheInstallBeforeAnyWrite) {
  start({"--fail-reads"}, kOld);
  const process::Result installed = mender({"install", artifact("table-v2", {kNew})});
  EXPECT_NE(installed.status, 0);
  EXPECT_THAT(installed.err, HasSubstr("no verified backup of item 48001"));
  for (const std::string& r : describe(modem_->rx())) {
    EXPECT_THAT(r, Not(StartsWith("25 item="))) << "a write packet reached the modem";
    EXPECT_THAT(r, Not(StartsWith("23 ")));
  }
  EXPECT_EQ(read_file(stored()), Bytes());  // --table-out never rewritten
  EXPECT_EQ(show_artifact(), std::string(kFactoryArtifact) + "\n");
}

// A modem that holds no table for the item (it reads out no bytes and
// reports the digest of none) has nothing to back up: the first deployment
// to it installs without a backup and says so, and a rollback, which has no
// earlier table to put back, fails with a line saying why and sends
// nothing; Mender then marks the device's artifact inconsistent.
TEST_F(Mender, EmptyItemInstallsWithoutABackupAndItsRollbackFailsSayingWhy) {
  struct Case {
    const char* name;
    std::vector<std::string> knobs;
    const char* then;  // the mender command after a successful install
    const Bytes& held;  // the modem's table for the item at the end
    std::string artifact;  // what show-artifact names at the end
  };
  const Bytes none;
  // The first chunk lands before the second is refused.
  const Bytes first_chunk(kNew.begin(), kNew.begin() + 1024);
  const Case cases[] = {
      {"committed", {}, "commit", kNew, "table-v2"},
      {"rolled back", {}, "rollback", kNew, "table-v2_INCONSISTENT"},
      // Mender rolls the failed install back by itself.
      {"write fails", {"--fail-write-chunk", "2"}, nullptr, first_chunk,
       "table-v2_INCONSISTENT"},
  };
  const std::string says_so =
      "tessel-sar: item 48001 holds no table: installing without a backup; this deployment "
      "cannot be rolled back";
  const std::string cannot =
      "tessel-sar: cannot roll back: item 48001 held no table before this deployment, so there "
      "is none to put back; nothing was sent";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    start(c.knobs, none);
    const process::Result installed = mender({"install", artifact("table-v2", {kNew})});
    EXPECT_THAT(installed.err, HasSubstr(says_so));
    std::string rollback_said = installed.err;
    if (c.then != nullptr) {
      ASSERT_EQ(installed.status, 0) << installed.err;
      EXPECT_EQ(check(kNew), 0);
      const size_t sent = modem_->rx().size();
      const process::Result then = mender({c.then});
      EXPECT_EQ(then.status == 0, std::string(c.then) == "commit") << then.err;
      rollback_said = then.err;
      EXPECT_EQ(modem_->rx().size(), sent) << "the modem was sent something after the install";
    } else {
      EXPECT_NE(installed.status, 0);
    }
    EXPECT_EQ(rollback_said.find(cannot) != std::string::npos, c.artifact != "table-v2")
        << rollback_said;
    EXPECT_EQ(read_file(stored()), c.held);
    EXPECT_EQ(show_artifact(), c.artifact + "\n");
  }
}

// Reading out no bytes is not enough to call an item empty: when the modem
// reports the digest of a table for it, the table is one that cannot be
// read, and the install fails before anything is written.
TEST_F(Mender, ReadOfNothingForAnItemWithADigestFailsTheInstallBeforeAnyWrite) {
  // Reads return item 48002's table, which is empty; item 48001, the
  // settings' item, holds kOld, written as any table is.
  start({"--item", "48002"}, Bytes());
  process::TempFile old(kOld);
  ASSERT_EQ(tessel({"--command", "sar_tool", "-d", modem_->path(), "-n", "48001", "-f",
                    old.path(), "--strict"})
                .result.status,
            0);
  const size_t sent = modem_->rx().size();
  const process::Result installed = mender({"install", artifact("table-v2", {kNew})});
  EXPECT_NE(installed.status, 0);
  EXPECT_THAT(installed.err, HasSubstr("the modem holds no table to save"));
  EXPECT_THAT(installed.err, HasSubstr("modem_md5=" + md5_hex(kOld)));
  EXPECT_THAT(installed.err, HasSubstr("tessel-sar: no verified backup of item 48001"));
  EXPECT_THAT(installed.err, Not(HasSubstr("holds no table: installing")));
  // The backup's read switches DIAG-over-MBIM on and off; nothing is
  // written or applied.
  std::vector<std::vector<unsigned char>> rx = modem_->rx();
  rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(sent));
  EXPECT_THAT(changes(describe(rx)), ElementsAre("21 0012", "21 0022"));
  EXPECT_EQ(show_artifact(), std::string(kFactoryArtifact) + "\n");
}

// A device with two tables: each deployment names its item in its Provides
// (--software-name tessel-sar.N), and neither clears the other's.
TEST_F(Mender, TwoItemsAreDeployedAndTrackedApart) {
  start({}, kOld);
  const process::Result first =
      mender({"install", artifact("sar-48001", {kNew}, "", {}, "tessel-sar.48001")});
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(mender({"commit"}).status, 0);
  // The simulated modem reads out the table of its --item alone: the modem
  // the second deployment meets reads item 48002, which holds none yet.
  const Bytes second_table = pattern(2000, 3);
  start({"--item", "48002"}, Bytes());
  const process::Result second = mender(
      {"install", artifact("sar-48002", {second_table}, "{\"item\": 48002}", {}, "tessel-sar.48002")});
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_THAT(second.err, HasSubstr("tessel-sar: item 48002 holds no table: installing"));
  ASSERT_EQ(mender({"commit"}).status, 0);
  EXPECT_EQ(read_file(stored()), second_table);
  const std::string provides = mender({"show-provides"}).out;
  EXPECT_THAT(provides, HasSubstr("rootfs-image.tessel-sar.48001.version=sar-48001\n"));
  EXPECT_THAT(provides, HasSubstr("rootfs-image.tessel-sar.48002.version=sar-48002\n"));
}

// The item comes from the meta-data, else the settings; Provides that
// name an item (--software-name tessel-sar.N) must name that one, or the
// device would record another item's table.
TEST_F(Mender, MetaDataItemNamesTheItemAndABadOneOrOtherProvidesSendNothing) {
  struct Case {
    const char* meta;
    const char* software;  // --software-name
    const char* refusal;  // the module's line, when it refuses the artifact
  };
  const Case cases[] = {
      {"{\"item\": 48002}", "", nullptr},
      {"{\"item\": 48002}", "tessel-sar.48002", nullptr},
      {"{\"item\": 65536}", "", "tessel-sar: bad meta-data"},
      {"{\"item\": \"48002\"}", "", "tessel-sar: bad meta-data"},
      {"", "tessel-sar.48002",
       "tessel-sar: the artifact provides the version of item 48002, but its table goes to "
       "item 48001"},
      {"{\"item\": 48002}", "tessel-sar.48001",
       "tessel-sar: the artifact provides the version of item 48001, but its table goes to "
       "item 48002"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.meta) + " " + c.software);
    TearDown();
    SetUp();
    // The simulator reads and keeps item 48002's table; the settings name 48001.
    start({"--item", "48002"}, kOld, "48001");
    const process::Result installed =
        mender({"install", artifact("table-v2", {kNew}, c.meta, {}, c.software)});
    if (c.refusal != nullptr) {
      EXPECT_NE(installed.status, 0);
      EXPECT_THAT(installed.err, HasSubstr(c.refusal));
      EXPECT_TRUE(modem_->rx().empty());
      continue;
    }
    EXPECT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(read_file(stored()), kNew);
    const std::vector<std::string> requests = describe(modem_->rx());
    EXPECT_THAT(requests, Contains("23 bb82"));
    EXPECT_THAT(requests, Contains(StartsWith("25 item=48002 ")));
    EXPECT_THAT(requests, Not(Contains(::testing::AnyOf(
                              "22 0000bb81", "23 bb81", StartsWith("25 item=48001 ")))));
  }
}

TEST_F(Mender, ArtifactWithTwoFilesOrMissingSettingsFailWithOneLineAndNothingSent) {
  struct Case {
    std::vector<std::string> files;
    bool device_set;
    const char* line;
  };
  const Case cases[] = {
      {{"table0.bin", "table1.bin"},
       true,
       "tessel-sar: the artifact holds 2 files: a tessel-sar artifact holds exactly one"},
      // A name that starts with two dots is a file like any other.
      {{"table.bin", "..evil"},
       true,
       "tessel-sar: the artifact holds 2 files: a tessel-sar artifact holds exactly one"},
      {{"table.bin"}, false, "tessel-sar: no settings: TESSEL_DEVICE is not set in "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files.back());
    TearDown();
    SetUp();
    start({}, kOld);
    if (!c.device_set) {
      ASSERT_TRUE(write_file(settings(), "TESSEL_ITEM=48001\n"));
    }
    std::vector<Bytes> tables(c.files.size(), kNew);
    const process::Result installed = mender({"install", artifact("bad", tables, "", c.files)});
    EXPECT_NE(installed.status, 0);
    EXPECT_THAT(installed.err, HasSubstr(c.line));
    EXPECT_TRUE(modem_->rx().empty());
    EXPECT_EQ(show_artifact(), std::string(kFactoryArtifact) + "\n");
  }
}

// Without TESSEL_ITEMS the two lines of one item, as always; with it, the
// first item's two lines and one line per item.
TEST_F(Mender, InventoryNamesTheModemsDigestsOrUnknownAndWritesNothing) {
  start({}, kOld);  // item 48001 holds kOld, 48002 nothing
  const std::string reachable = modem_->path();
  const std::string old_md5 = md5_hex(kOld);
  const std::string no_table = md5_hex(Bytes());
  struct Case {
    std::string device;
    std::string options;  // TESSEL_OPTIONS
    std::string items;  // TESSEL_ITEMS
    std::string out;
  };
  const Case cases[] = {
      {reachable, "--lock-wait 60", "", "sar_table_item=48001\nsar_table_md5=" + old_md5 + "\n"},
      {"/dev/tessel-no-such-modem", "", "", "sar_table_item=48001\nsar_table_md5=unknown\n"},
      // Options that choose the item are refused as the module refuses
      // them, even when they name the settings' own.
      {reachable, "-n 48001", "", "sar_table_item=48001\nsar_table_md5=unknown\n"},
      {reachable, "", "48002, 48001 48002",
       "sar_table_item=48002\nsar_table_md5=" + no_table + "\nsar_table_md5_48002=" + no_table +
           "\nsar_table_md5_48001=" + old_md5 + "\n"},
      // A word that is no item: nothing asked, and no line that would name it.
      {reachable, "", "48002 48001=x", "sar_table_item=48001\nsar_table_md5=unknown\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device + " " + c.options + " " + c.items);
    ASSERT_TRUE(write_file(settings(), "TESSEL_DEVICE=" + c.device +
                                           "\nTESSEL_ITEM=48001\nTESSEL_OPTIONS=" + c.options +
                                           "\nTESSEL_ITEMS=" + c.items + "\n"));
    const process::Result listed = process::run({TESSEL_MENDER_INVENTORY}, env());
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, c.out) << listed.err;
  }
  EXPECT_THAT(changes(describe(modem_->rx())), ::testing::IsEmpty());
}

// Mender waits for its inventory scripts: a silent modem, or one that
// another run holds, gives "unknown" within the script's bound of 6 s, even
// with settings that let runs wait a minute for the modem, and with two
// items (the second is not asked once the first got no answer).
TEST_F(Mender, InventoryGivesUpWithinItsBoundOnASilentOrBusyModem) {
  struct Case {
    bool held;  // by a run started before, waiting for its own answer
    const char* items;  // TESSEL_ITEMS
    const char* says;  // on standard error, when not empty
  };
  const Case cases[] = {
      {false, "", ""},
      {false, "48001 48002", ""},
      // Its own short lock wait ended it, not the time limit.
      {true, "", "is in use by another tessel run (waited 2 s)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.held ? "held " : "silent ") + c.items);
    TearDown();
    SetUp();
    start({"--no-reply", "22"}, kOld);  // the digest query is never answered
    ASSERT_TRUE(write_file(settings(), "TESSEL_DEVICE=" + modem_->path() +
                                           "\nTESSEL_ITEM=48001\nTESSEL_OPTIONS=--lock-wait 60\n"
                                           "TESSEL_ITEMS=" + c.items + "\n"));
    std::unique_ptr<process::Child> holder;
    if (c.held) {
      holder = process::start_tool({"--command", "sar_tool", "-d", modem_->path(), "--query"});
      ASSERT_TRUE(received(*modem_, 1));  // it holds the modem by now
    }
    process::Options o = env();
    o.timeout_ms = 15000;
    const auto begin = std::chrono::steady_clock::now();
    const process::Result listed = process::run({TESSEL_MENDER_INVENTORY}, o);
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    EXPECT_LT(elapsed, std::chrono::milliseconds(6500));
    EXPECT_EQ(listed.status, 0) << listed.err;
    const std::string each = *c.items != '\0'
                                 ? "sar_table_md5_48001=unknown\nsar_table_md5_48002=unknown\n"
                                 : "";
    EXPECT_EQ(listed.out, "sar_table_item=48001\nsar_table_md5=unknown\n" + each) << listed.err;
    EXPECT_THAT(listed.err, HasSubstr(c.says));
  }
}

// Each spelling of an option that chooses what the module chooses itself
// (the device, the item, the table file, the mode), as tessel's option
// parser takes it, fails the install with one line naming it, before
// anything is sent. `tessel_says` is what the spelling does to the module's
// backup or install run without the refusal: tessel reads it as that option.
TEST_F(Mender, OptionsTheModuleChoosesItselfFailTheInstallBeforeAnythingIsSent) {
  struct Case {
    const char* options;  // TESSEL_OPTIONS
    const char* named;  // in the refusal: the word, the option, what it sets
    bool in_install;  // tessel_says shows in the install's run, else the backup's
    const char* tessel_says;
  };
  const Case cases[] = {
      {"-n70000", "-n70000 (-n) sets the item", false,
       "-n wants a whole number from 0 to 65535, not '70000'"},
      {"--lock-wait 5 -n 70000", "-n sets the item", false,
       "-n wants a whole number from 0 to 65535, not '70000'"},
      {"-d /dev/tessel-other", "-d sets the device", false,
       "fial to access /dev/tessel-other"},
      {"-f/tmp/other.bin", "-f/tmp/other.bin (-f) sets the table file", false,
       "--save cannot be used with -f"},
      {"--force", "--force sets the mode (a forced write)", false,
       "--save cannot be used with --force"},
      {"--debug --forc", "--forc (--force) sets the mode (a forced write)", false,
       "--save cannot be used with --force"},
      {"--che", "--che (--check) sets the mode (a check)", false,
       "--save cannot be used with --check"},
      {"--que", "--que (--query) sets the mode (a query)", false,
       "--query cannot be used with --save"},
      {"--sav=/tmp/x.bin", "--sav=/tmp/x.bin (--save) sets the mode (a backup)", true,
       "--save cannot be used with -f"},
      {"--sa /tmp/x.bin", "--sa (--save) sets the mode (a backup)", true,
       "--save cannot be used with -f"},
      // Status 0 and nothing done: a backup and an install that never were.
      {"--vers", "--vers (--version) sets the mode (a text instead of a run)", true,
       "v1.1.1\n"},
      {"-hn1", "-hn1 (-h) sets the mode (a text instead of a run)", true,
       "-d <mbim device> -f <sar table file> [--force]\n"},
  };
  start({}, kOld);
  const std::string installing = artifact("table-v2", {kNew});
  const std::string table = scratch_ + "/table0.bin";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options);
    ASSERT_TRUE(write_file(settings(), "TESSEL_DEVICE=" + modem_->path() +
                                           "\nTESSEL_ITEM=48001\nTESSEL_OPTIONS=" + c.options +
                                           "\n"));
    const process::Result installed = mender({"install", installing});
    EXPECT_NE(installed.status, 0);
    const std::string line = "tessel-sar: TESSEL_OPTIONS in " + settings() + ": " + c.named +
                             ", which the module sets itself: take it out";
    EXPECT_THAT(installed.err, HasSubstr(line));
    EXPECT_THAT(installed.err, Not(HasSubstr("tessel-sar: /")));  // no run of tessel logged
    EXPECT_TRUE(modem_->rx().empty());
    EXPECT_EQ(show_artifact(), std::string(kFactoryArtifact) + "\n");

    std::vector<std::string> run = {"--command", "sar_tool", "-d", "/dev/tessel-no-such-modem",
                                    "-n", "48001"};
    if (c.in_install)
      run.insert(run.end(), {"--strict", "-f", table});
    else
      run.insert(run.end(), {"--save", scratch_ + "/backup.bin"});
    std::istringstream words(c.options);
    for (std::string w; words >> w;) run.push_back(w);
    const Outcome unguarded = tessel(run);
    EXPECT_THAT(unguarded.result.out + unguarded.result.err, HasSubstr(c.tessel_says));
  }
}

// What the boot unit's settings may hold passes through, and the command
// line is logged whole, a table file whose name holds "\c" included (which
// echo would take as the end of the line). mender-artifact allows no
// backslash in a name: the module runs as Mender would run it, on a payload
// directory laid out as Mender lays it out.
TEST_F(Mender, OtherOptionsPassAndTheCommandLineIsLoggedWhole) {
  start({}, kOld);
  ASSERT_TRUE(write_file(settings(), "TESSEL_DEVICE=" + modem_->path() +
                                         "\nTESSEL_OPTIONS=--lock-wait=5 --deb --st\n"));
  const std::string payload = scratch_ + "/payload";
  for (const char* dir : {"", "/files", "/header", "/tmp"})
    ASSERT_EQ(mkdir((payload + dir).c_str(), 0755), 0) << dir;
  ASSERT_TRUE(write_file(payload + "/header/meta-data", "null"));
  ASSERT_TRUE(write_file(payload + "/files/sar\\cv2.bin", std::string(kNew.begin(), kNew.end())));
  const process::Result installed =
      process::run({TESSEL_MENDER_MODULE, "ArtifactInstall", payload}, env());
  const std::vector<std::string> said = module_lines(installed.err);
  ASSERT_EQ(installed.status, 0) << ::testing::PrintToString(said);
  EXPECT_EQ(read_file(stored()), kNew);
  EXPECT_THAT(said, Contains("tessel-sar: " + std::string(TESSEL_BIN) + " --command sar_tool -d " +
                             modem_->path() + " -n 48001 --strict -f " + payload +
                             "/files/sar\\cv2.bin --quiet --lock-wait=5 --deb --st"));
}

}  // namespace
}  // namespace e2e
