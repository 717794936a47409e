// zendra-cli convert --outdir: batch conversion with one worker process per
// file: failures reported per file, -j results, hanging and crashing workers
// and their temporary files, Ctrl-C, the progress line, overwriting, output
// names taken twice; and the limits for untrusted pictures.
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <pty.h>
#include <random>
#include <set>
#include <string>
#include <sys/stat.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct BatchRun {
    int status;
    std::string err;
};

std::string Quoted(const std::string& s) {
    return "'" + s + "'";
}

// Runs zendra-cli with stderr to a file (not a terminal); env is put before
// the command (VAR=value ...).
BatchRun RunCli(const std::string& args, const std::string& env = "") {
    std::string errFile = TestDir() + "/batch-stderr.txt";
    std::string command =
        env + " " + ZENDRA_CLI + " " + args + " 2>" + Quoted(errFile) + " </dev/null >/dev/null";
    int status = std::system(command.c_str());
    BatchRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes err = ReadWholeFile(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

// A fresh, empty folder under the test folder.
std::string Folder(const std::string& name) {
    std::string path = TestDir() + "/" + name;
    EXPECT_EQ(std::system(("rm -rf " + Quoted(path)).c_str()), 0);
    EXPECT_EQ(mkdir(path.c_str(), 0755), 0) << path;
    return path;
}

std::set<std::string> Names(const std::string& dir) {
    std::set<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.insert(e->d_name);
    closedir(d);
    return names;
}

// A random 8-bit (or 4-bit) bitmap with runs, in dir/name.
std::string Picture(const std::string& dir, const std::string& name, uint32_t seed,
                    uint16_t bits = 8) {
    std::mt19937 rng(seed);
    BmpSpec s;
    s.width = 5 + int(seed % 40);
    s.height = 3 + int(seed % 7);
    s.bitCount = bits;
    for (int i = 0; i < (1 << bits); i++) s.colors.push_back(rng() & 0xFFFFFF);
    std::vector<Bytes> rows;
    BYTE v = 0;
    for (int y = 0; y < s.height; y++) {
        Bytes row;
        for (int x = 0; x < (s.width * bits + 7) / 8; x++) {
            if (rng() % 3 == 0) v = BYTE(rng());
            row.push_back(v);
        }
        rows.push_back(row);
    }
    s.pixels = PadRows(rows);
    std::string path = dir + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    Bytes b = BuildBmp(s);
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
    return path;
}

std::string Write(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

// A bitmap header promising 100000 x 100000 pixels: refused before allocating.
Bytes HugeHeader() {
    BmpSpec s;
    s.width = 100000;
    s.height = 100000;
    s.bitCount = 24;
    s.pixels = Bytes(64, 0);
    return BuildBmp(s);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) n++;
    return n;
}

// The stderr lines, sorted (workers end in any order).
std::vector<std::string> SortedLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    return lines;
}
} // namespace

TEST(CliBatch, ConvertsTheGoodFilesAndReportsTheOthers) {
    std::string in = Folder("batch-in"), out = Folder("batch-out");
    std::vector<std::string> good = {Picture(in, "one.bmp", 1), Picture(in, "two.bmp", 2, 4),
                                     Picture(in, "three.pictures.bmp", 3),
                                     Picture(in, "noextension", 4)};
    Bytes whole = ReadWholeFile(good[0]);
    std::string truncated = Write(in + "/truncated.bmp", Bytes(whole.begin(), whole.begin() + 30));
    std::string hostile = Write(in + "/hostile.bmp", HugeHeader());
    std::string missing = in + "/missing.bmp";
    std::string args = "convert --to bmp-rle --outdir " + Quoted(out);
    for (const std::string& f : {good[0], truncated, good[1], hostile, good[2], missing, good[3]})
        args += " " + Quoted(f);
    BatchRun run = RunCli(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Names(out), (std::set<std::string>{"one.bmp", "two.bmp", "three.pictures.bmp",
                                                 "noextension.bmp"}));
    EXPECT_NE(run.err.find("zendra-cli: " + truncated + ": Invalid Bitmap Header"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("zendra-cli: " + hostile + ": Picture Too Large"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("zendra-cli: " + missing + ": Error Opening File"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("zendra-cli: converted 4 of 7 files\n"), std::string::npos) << run.err;
    for (const std::string& line : SortedLines(run.err))
        EXPECT_EQ(line.find("zendra-cli: "), 0u) << line;

    // Each output is what a single conversion of its input writes.
    const char* names[] = {"one.bmp", "two.bmp", "three.pictures.bmp", "noextension.bmp"};
    std::string single = Folder("batch-single");
    for (size_t i = 0; i < good.size(); i++) {
        std::string alone = single + "/" + names[i];
        BatchRun one = RunCli("convert --to bmp-rle " + Quoted(good[i]) + " " + Quoted(alone));
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(ReadWholeFile(out + "/" + names[i]), ReadWholeFile(alone)) << names[i];
        EXPECT_TRUE(LoadForTest(out + "/" + names[i])) << names[i];
    }
}

TEST(CliBatch, TwoWorkersWriteWhatOneWrites) {
    std::string in = Folder("parallel-in");
    std::string args;
    for (uint32_t i = 0; i < 12; i++)
        args += " " + Quoted(Picture(in, "p" + std::to_string(i) + ".bmp", 10 + i, i % 2 ? 4 : 8));
    args += " " + Quoted(Write(in + "/cut.bmp", Bytes{'B', 'M', 1, 2, 3}));
    std::vector<std::string> tools = {"", "--rotate 90 --invert"};
    for (const std::string& t : tools) {
        std::string one = Folder("parallel-1"), two = Folder("parallel-2");
        BatchRun a = RunCli("convert --to bmp-rle " + t + " -j 1 --outdir " + Quoted(one) + args);
        BatchRun b = RunCli("convert --to bmp-rle " + t + " -j2 --outdir " + Quoted(two) + args);
        EXPECT_EQ(a.status, 1) << a.err;
        EXPECT_EQ(b.status, 1) << b.err;
        EXPECT_EQ(SortedLines(a.err), SortedLines(b.err));
        ASSERT_EQ(Names(one).size(), 12u) << t;
        EXPECT_EQ(Names(one), Names(two)) << t;
        for (const std::string& name : Names(one))
            EXPECT_EQ(ReadWholeFile(one + "/" + name), ReadWholeFile(two + "/" + name))
                << t << " " << name;
        // The tools reach every worker: p0 as one conversion writes it.
        std::string single = TestDir() + "/parallel-single.bmp";
        std::remove(single.c_str());
        ASSERT_EQ(RunCli("convert --to bmp-rle " + t + " " + Quoted(in + "/p0.bmp") + " " +
                         Quoted(single))
                      .status,
                  0);
        EXPECT_EQ(ReadWholeFile(one + "/p0.bmp"), ReadWholeFile(single)) << t;
    }
}

TEST(CliBatch, AHangingOrCrashingWorkerCostsOnlyItsFile) {
    std::string in = Folder("hang-in"), out = Folder("hang-out");
    std::string args = "convert --to bmp --timeout 1 -j 2 --outdir " + Quoted(out);
    for (const char* name : {"a.bmp", "hang.bmp", "b.bmp", "crash.bmp", "c.bmp"})
        args += " " + Quoted(Picture(in, name, uint32_t(name[0])));
    BatchRun run = RunCli(args, "ZENDRA_TEST_HANG_ON=hang.bmp ZENDRA_TEST_CRASH_ON=crash.bmp");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("zendra-cli: " + in + "/hang.bmp: timed out after 1 s"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("zendra-cli: " + in + "/crash.bmp: killed by signal 6"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("converted 3 of 5 files"), std::string::npos) << run.err;
    EXPECT_EQ(Names(out), (std::set<std::string>{"a.bmp", "b.bmp", "c.bmp"}));

    // The hooks are the workers' alone: a single conversion ignores them.
    BatchRun single =
        RunCli("convert --to bmp " + Quoted(in + "/hang.bmp") + " " + Quoted(out + "/single.bmp"),
               "ZENDRA_TEST_HANG_ON=hang.bmp");
    EXPECT_EQ(single.status, 0) << single.err;
}

TEST(CliBatch, ProgressLineOnlyOnATerminal) {
    std::string in = Folder("progress-in");
    std::string a = Picture(in, "a.bmp", 5), b = Picture(in, "b.bmp", 6);
    std::string args = "convert --to bmp --force --outdir " + Quoted(Folder("progress-out")) + " " +
                       Quoted(a) + " " + Quoted(b);
    BatchRun plain = RunCli(args);
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.err, "zendra-cli: converted 2 of 2 files\n");

    // The same with stderr (and stdout) on a pseudo-terminal.
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", (std::string(ZENDRA_CLI) + " " + args).c_str(), (char*)0);
        _exit(127);
    }
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        screen.append(buffer, size_t(n));
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    EXPECT_NE(screen.find("[1/2] " + a), std::string::npos) << screen;
    EXPECT_NE(screen.find("[2/2] " + b), std::string::npos) << screen;
    // Cleared (carriage return, blanks, carriage return) before the summary.
    const std::string summary = "zendra-cli: converted 2 of 2 files";
    size_t at = screen.find(summary);
    ASSERT_NE(at, std::string::npos) << screen;
    std::string line = "[2/2] " + b;
    EXPECT_EQ(screen.substr(at - line.size() - 2, line.size() + 2),
              "\r" + std::string(line.size(), ' ') + "\r")
        << screen;
}

TEST(CliBatch, NeverOverwritesWithoutForce) {
    std::string in = Folder("keep-in"), out = Folder("keep-out");
    std::string a = Picture(in, "a.bmp", 7), b = Picture(in, "b.bmp", 8);
    std::string kept = Write(out + "/a.tga", Bytes{'k', 'e', 'e', 'p'});
    std::string args =
        "convert --to tga --outdir " + Quoted(out) + " " + Quoted(a) + " " + Quoted(b);
    BatchRun run = RunCli(args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("zendra-cli: " + kept + ": file exists (use --force to overwrite)"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("converted 1 of 2 files"), std::string::npos) << run.err;
    EXPECT_EQ(ReadWholeFile(kept), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(FileExists(out + "/b.tga"));

    run = RunCli("convert --force --to tga --outdir " + Quoted(out) + " " + Quoted(a) + " " +
                 Quoted(b));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_GT(ReadWholeFile(kept).size(), 18u);
    EXPECT_EQ(Names(out), (std::set<std::string>{"a.tga", "b.tga"})) << "no temporary files left";
}

TEST(CliBatch, AnOutputNameTakenTwiceFailsTheSecond) {
    std::string in1 = Folder("twice-1"), in2 = Folder("twice-2"), out = Folder("twice-out");
    std::string first = Picture(in1, "x.bmp", 9), second = Picture(in2, "x.bmp", 10);
    std::string other = Picture(in2, "x.pcx.bmp", 11);
    for (const char* force : {"", "--force "}) {
        BatchRun run = RunCli(std::string("convert ") + force + "--to pcx -j 2 --outdir " +
                              Quoted(out) + " " + Quoted(first) + " " + Quoted(second) + " " +
                              Quoted(first) + " " + Quoted(other));
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(Count(run.err, "is that of " + first + " as well; not converted"), 2u) << run.err;
        EXPECT_NE(run.err.find("zendra-cli: " + second + ": its output " + out + "/x.pcx"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("converted 2 of 4 files"), std::string::npos) << run.err;
        EXPECT_EQ(Names(out), (std::set<std::string>{"x.pcx", "x.pcx.pcx"}));
        // x.pcx is the first input's picture.
        std::string single = TestDir() + "/twice-single.pcx";
        std::remove(single.c_str());
        ASSERT_EQ(RunCli("convert " + Quoted(first) + " " + Quoted(single)).status, 0);
        EXPECT_EQ(ReadWholeFile(out + "/x.pcx"), ReadWholeFile(single));
        std::remove((out + "/x.pcx").c_str());
        std::remove((out + "/x.pcx.pcx").c_str());
    }
}

TEST(CliBatch, UsageErrors) {
    std::string in = Folder("usage-in"), out = Folder("usage-out");
    std::string a = Quoted(Picture(in, "a.bmp", 12));
    const std::string dir = " --outdir " + Quoted(out) + " ";
    struct Case {
        std::string args;
        int status;
        const char* err;
    } cases[] = {
        {"convert" + dir + a, 2, "--outdir needs the output format: use --to NAME"},
        {"convert --to bmp" + dir, 2, "needs at least one INPUT"},
        {"convert --to gif" + dir + a, 2, "unknown output format 'gif'"},
        {"convert --to bmp -j 0" + dir + a, 2,
         "-j takes a number of workers from 1 to 64, not '0'"},
        {"convert --to bmp -j 65" + dir + a, 2, "not '65'"},
        {"convert --to bmp --jobs=two" + dir + a, 2, "not 'two'"},
        {"convert --to bmp --timeout 0" + dir + a, 2, "--timeout takes a number of seconds"},
        {"convert --to bmp --timeout=1x" + dir + a, 2, "not '1x'"},
        {"convert --to bmp" + dir + a + " --timeout", 2,
         "option requires an argument: '--timeout'"},
        {"convert --to bmp -j 2 " + a + " " + Quoted(out + "/o.bmp"), 2,
         "-j and --timeout go with --outdir"},
        {"convert --to bmp " + a + " " + a + " " + a, 2, "too many files"},
        {"convert --to bmp --outdir " + Quoted(in + "/none") + " " + a, 1, "none: not a folder"},
    };
    for (const Case& c : cases) {
        BatchRun run = RunCli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
        EXPECT_EQ(run.err.find("zendra-cli: "), 0u) << c.args;
    }
    EXPECT_TRUE(Names(out).empty());
}

namespace {
// The picture of a (seed 1, 6 x 4 pixels) in every format zendra-cli writes
// that reads back with the same size, made by zendra-cli itself.
std::vector<std::string> EveryFormat(const std::string& dir) {
    std::string bmp = Picture(dir, "a.bmp", 1);
    std::vector<std::string> files = {bmp};
    for (const char* ext : {"pcx", "tga", "png", "tif", "jpg", "iff"}) {
        std::string path = dir + "/a." + ext;
        EXPECT_EQ(RunCli("convert " + Quoted(bmp) + " " + Quoted(path)).status, 0) << ext;
        files.push_back(path);
    }
    return files;
}

// A run-length Targa of 6000 x 6000 24-bit pixels in 1.1 MB: its record
// takes 108 MB.
Bytes BigTarga() {
    Bytes b = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x70, 0x17, 0x70, 0x17, 24, 0};
    for (int i = 0; i < 6000 * 6000 / 128; i++) b.insert(b.end(), {0xFF, 0x10, 0x20, 0x30});
    return b;
}

bool Sanitized() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return false;
}

// The temporary files zendra-cli left in dir.
std::set<std::string> Temporaries(const std::string& dir) {
    std::set<std::string> found;
    for (const std::string& name : Names(dir))
        if (name.compare(0, 8, ".zendra-") == 0) found.insert(name);
    return found;
}

// True while a process whose command line mentions text is alive.
bool ProcessMentioning(const std::string& text) {
    DIR* d = opendir("/proc");
    bool found = false;
    while (dirent* e = d ? readdir(d) : nullptr) {
        if (e->d_name[0] < '1' || e->d_name[0] > '9') continue;
        Bytes cmd = ReadWholeFile(std::string("/proc/") + e->d_name + "/cmdline");
        std::replace(cmd.begin(), cmd.end(), BYTE(0), BYTE(' '));
        if (std::string(cmd.begin(), cmd.end()).find(text) != std::string::npos &&
            std::to_string(getpid()) != e->d_name)
            found = true;
    }
    if (d) closedir(d);
    return found;
}
} // namespace

TEST(CliLimits, MaxPixelsRefusesEveryFormatBeforeReading) {
    std::string in = Folder("pixels-in"), out = Folder("pixels-out");
    for (const std::string& file : EveryFormat(in)) {
        BatchRun fits = RunCli("info --max-pixels 24 " + Quoted(file));
        EXPECT_EQ(fits.status, 0) << file << "\n" << fits.err;
        BatchRun refused = RunCli("info --max-pixels=23 " + Quoted(file));
        EXPECT_EQ(refused.status, 1) << file;
        EXPECT_NE(refused.err.find("zendra-cli: " + file +
                                   ": 6 x 4 pixels is more than --max-pixels 23 allows\n"),
                  std::string::npos)
            << refused.err;
        std::string output = out + "/x.bmp";
        BatchRun convert = RunCli("convert --max-pixels 23 " + Quoted(file) + " " + Quoted(output));
        EXPECT_EQ(convert.status, 1) << file;
        EXPECT_NE(convert.err.find("pixels is more than --max-pixels 23 allows"), std::string::npos)
            << convert.err;
        EXPECT_FALSE(FileExists(output)) << file;
    }
    // A hostile header is refused by the limit as well, and a batch hands
    // the limit to every worker.
    std::string hostile = Write(in + "/hostile.bmp", HugeHeader());
    std::string small = Picture(in, "small.bmp", 0); // 5 x 3
    BatchRun batch = RunCli("convert --to bmp --max-pixels 15 --outdir " + Quoted(out) + " " +
                            Quoted(in + "/a.bmp") + " " + Quoted(hostile) + " " + Quoted(small));
    EXPECT_EQ(batch.status, 1) << batch.err;
    EXPECT_NE(batch.err.find(hostile + ": 100000 x 100000 pixels is more than --max-pixels 15"),
              std::string::npos)
        << batch.err;
    EXPECT_NE(batch.err.find("a.bmp: 6 x 4 pixels is more than"), std::string::npos) << batch.err;
    EXPECT_NE(batch.err.find("converted 1 of 3 files"), std::string::npos) << batch.err;
    EXPECT_EQ(Names(out), (std::set<std::string>{"small.bmp"}));
}

TEST(CliLimits, MaxMemoryIsTheSystemsLimitOnEachWorker) {
    if (Sanitized()) GTEST_SKIP() << "the sanitizers reserve more address space than any limit";
    std::string in = Folder("memory-in"), out = Folder("memory-out");
    std::string big = Write(in + "/big.tga", BigTarga());
    std::string small = Picture(in, "small.bmp", 3);
    // Without a limit the picture reads.
    EXPECT_EQ(RunCli("info " + Quoted(big)).status, 0);
    BatchRun batch = RunCli("convert --to bmp --max-memory 64 --outdir " + Quoted(out) + " " +
                            Quoted(big) + " " + Quoted(small));
    EXPECT_EQ(batch.status, 1) << batch.err;
    EXPECT_NE(batch.err.find("zendra-cli: " + big + ": Memory Allocation Error"), std::string::npos)
        << batch.err;
    EXPECT_NE(batch.err.find("converted 1 of 2 files"), std::string::npos) << batch.err;
    EXPECT_EQ(Names(out), (std::set<std::string>{"small.bmp"}));

    BatchRun single =
        RunCli("convert --max-memory=64 " + Quoted(big) + " " + Quoted(out + "/single.bmp"));
    EXPECT_EQ(single.status, 1) << single.err;
    EXPECT_NE(single.err.find("Memory Allocation Error"), std::string::npos) << single.err;
    EXPECT_FALSE(FileExists(out + "/single.bmp"));
}

TEST(CliLimits, UsageErrors) {
    std::string in = Folder("limits-usage");
    std::string a = Quoted(Picture(in, "a.bmp", 2));
    std::string o = " " + Quoted(in + "/o.bmp");
    struct Case {
        std::string args;
        const char* err;
    } cases[] = {
        {"convert --max-pixels 0 " + a + o,
         "--max-pixels takes a number of pixels above 0, not '0'"},
        {"convert --max-pixels -5 " + a + o, "not '-5'"},
        {"convert --max-pixels=1e6 " + a + o, "not '1e6'"},
        {"convert --max-memory 0 " + a + o, "--max-memory takes a number of megabytes"},
        {"convert --max-memory 1048577 " + a + o, "not '1048577'"},
        {"convert " + a + o + " --max-memory", "option requires an argument: '--max-memory'"},
        {"info --max-pixels x " + a, "not 'x'"},
        {"info --max-memory 64 " + a, "--max-memory goes with convert"},
    };
    for (const Case& c : cases) {
        BatchRun run = RunCli(c.args);
        EXPECT_EQ(run.status, 2) << c.args << "\n" << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
    }
    EXPECT_FALSE(FileExists(in + "/o.bmp"));
}

TEST(CliBatch, KilledAndCrashedWorkersLeaveNoTemporaryFiles) {
    std::string in = Folder("temps-in"), out = Folder("temps-out");
    std::string args = "convert --to bmp --timeout 2 -j 2 --outdir " + Quoted(out);
    for (const char* name : {"a.bmp", "slow.bmp", "crash.bmp", "b.bmp"})
        args += " " + Quoted(Picture(in, name, uint32_t(name[0])));
    const std::string hooks =
        "ZENDRA_TEST_HANG_WRITING=slow.bmp ZENDRA_TEST_CRASH_WRITING=crash.bmp";
    // A worker on its own leaves its temporary file where it stopped...
    BatchRun alone = RunCli("convert --worker --to bmp -- " + Quoted(in + "/crash.bmp") + " " +
                                Quoted(out + "/crash.bmp"),
                            hooks);
    EXPECT_NE(alone.status, 0);
    EXPECT_EQ(Temporaries(out).size(), 1u);
    EXPECT_EQ(std::system(("rm -f " + Quoted(out) + "/.zendra-*").c_str()), 0);
    ASSERT_TRUE(Names(out).empty());
    // ...which the batch removes when the worker is killed or crashes.
    BatchRun run = RunCli(args, hooks);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(in + "/slow.bmp: timed out after 2 s"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(in + "/crash.bmp: killed by signal 6"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("converted 2 of 4 files"), std::string::npos) << run.err;
    EXPECT_EQ(Names(out), (std::set<std::string>{"a.bmp", "b.bmp"}));
}

TEST(CliBatch, InterruptStopsWorkersAndRemovesTheirFiles) {
    std::string in = Folder("interrupt-in"), out = Folder("interrupt-out");
    std::vector<std::string> files;
    for (const char* name : {"a.bmp", "slow.bmp", "b.bmp", "c.bmp"})
        files.push_back(Picture(in, name, uint32_t(name[0])));
    std::string errFile = TestDir() + "/interrupt-stderr.txt";
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("ZENDRA_TEST_HANG_WRITING", "slow.bmp", 1);
        FILE* err = std::freopen(errFile.c_str(), "w", stderr);
        if (!err) _exit(127);
        std::vector<const char*> argv = {ZENDRA_CLI, "convert", "--to",     "bmp",
                                         "-j",       "1",       "--outdir", out.c_str()};
        for (const std::string& f : files) argv.push_back(f.c_str());
        argv.push_back(nullptr);
        execv(ZENDRA_CLI, const_cast<char**>(argv.data()));
        _exit(127);
    }
    // Once the slow worker has made its temporary file, the batch is interrupted.
    for (int i = 0; i < 200 && Temporaries(out).empty(); i++) usleep(50000);
    EXPECT_EQ(Temporaries(out).size(), 1u);
    EXPECT_TRUE(ProcessMentioning(in + "/slow.bmp"));
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    Bytes err = ReadWholeFile(errFile);
    std::string text(err.begin(), err.end());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status << "\n" << text;
    EXPECT_NE(text.find("zendra-cli: " + files[1] + ": stopped (interrupted)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("zendra-cli: interrupted: converted 1 of 4 files (1 stopped, 2 not "
                        "started)\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(Names(out), (std::set<std::string>{"a.bmp"}));
    EXPECT_FALSE(ProcessMentioning(in + "/slow.bmp")) << "the worker is gone";
}
