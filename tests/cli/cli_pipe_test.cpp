// zendra-cli in pipelines: "-" as INPUT reads standard input, as OUTPUT
// writes standard output (the format from --to); the bytes are those of the
// same conversion between files, and no temporary file is left behind.
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::string Q(const std::string& path) {
    return "'" + path + "'";
}

// Runs a shell command line with zendra-cli's temporary files in a folder of
// their own; the exit status, and stderr in *err.
int Shell(const std::string& line, std::string* err = nullptr) {
    const std::string errFile = TestDir() + "/pipe-stderr.txt";
    const std::string command =
        "TMPDIR=" + Q(TestDir() + "/pipe-tmp") + " sh -c " + Q(line) + " 2>" + Q(errFile);
    int status = std::system(command.c_str());
    if (err) {
        Bytes b = ReadWholeFile(errFile);
        err->assign(b.begin(), b.end());
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int LeftInTemporaryFolder(const std::string& folder = TestDir() + "/pipe-tmp") {
    int count = 0;
    DIR* d = opendir(folder.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
        if (e->d_name[0] != '.') count++;
    if (d) closedir(d);
    return count;
}

std::string Text(const std::string& path) {
    Bytes b = ReadWholeFile(path);
    return std::string(b.begin(), b.end());
}
} // namespace

TEST(CliPipe, StandardInputAndOutputGiveTheBytesOfFiles) {
    mkdir((TestDir() + "/pipe-tmp").c_str(), 0700);
    BmpSpec layout;
    layout.width = 5;
    layout.height = 3;
    layout.pixels = PadRows({Bytes(15, 0x20), Bytes(15, 0x80), Bytes(15, 0xE0)});
    const std::string sample = WriteTestFile("pipe-sample.bmp", BuildBmp(layout));
    const std::string cli = ZENDRA_CLI, d = TestDir() + "/";
    std::string err;
    // The references: the same commands between files.
    ASSERT_EQ(Shell(cli + " info " + Q(sample) + " >" + Q(d + "info-file.txt")), 0);
    ASSERT_EQ(Shell(cli + " convert --force " + Q(sample) + " " + Q(d + "ref.png")), 0);
    ASSERT_EQ(Shell(cli + " convert --force --rotate 90 " + Q(sample) + " " + Q(d + "ref.tga")), 0);

    const struct {
        const char* what;
        std::string line, output, reference;
    } cases[] = {
        {"info -", cli + " info - <" + Q(sample) + " >" + Q(d + "info-pipe.txt"),
         d + "info-pipe.txt", d + "info-file.txt"},
        {"convert - FILE", "cat " + Q(sample) + " | " + cli + " convert - " + Q(d + "in.png"),
         d + "in.png", d + "ref.png"},
        {"convert FILE -", cli + " convert --to png " + Q(sample) + " - >" + Q(d + "out.png"),
         d + "out.png", d + "ref.png"},
        {"convert - - with a tool",
         "cat " + Q(sample) + " | " + cli + " convert --to tga --rotate 90 - - | cat >" +
             Q(d + "both.tga"),
         d + "both.tga", d + "ref.tga"},
    };
    for (const auto& c : cases) {
        std::remove(c.output.c_str());
        EXPECT_EQ(Shell(c.line, &err), 0) << c.what << ": " << err;
        EXPECT_EQ(err, "") << c.what;
        Bytes got = ReadWholeFile(c.output), want = ReadWholeFile(c.reference);
        EXPECT_FALSE(want.empty()) << c.what;
        EXPECT_TRUE(got == want) << c.what << ": " << got.size() << " bytes, expected "
                                 << want.size();
    }
    EXPECT_EQ(Text(d + "info-pipe.txt").find("image type: Windows DIB \nwidth: 5 "), 0u);
    EXPECT_EQ(LeftInTemporaryFolder(), 0);
}

TEST(CliPipe, RefusalsAndFailures) {
    mkdir((TestDir() + "/pipe-tmp").c_str(), 0700);
    const std::string sample = WriteTestFile("pipe-junk.bin", Bytes(100, 'x'));
    const std::string cli = ZENDRA_CLI, d = TestDir() + "/";
    BmpSpec layout;
    const std::string bmp = WriteTestFile("pipe-one.bmp", BuildBmp(layout));
    const struct {
        const char* what;
        std::string line;
        int status;
        const char* err;
    } cases[] = {
        {"no format for standard output", cli + " convert " + Q(bmp) + " - >/dev/null", 2,
         "standard output needs the output format: use --to"},
        {"not a picture on standard input", cli + " info - <" + Q(sample), 1,
         "zendra-cli: standard input: not a picture this program can read"},
        {"empty standard input", cli + " convert - " + Q(d + "never.bmp") + " </dev/null", 1,
         "zendra-cli: standard input: not a picture this program can read"},
        {"standard input in a batch", cli + " convert --to bmp --outdir " + Q(d) + " - <" + Q(bmp),
         2, "standard input is converted without --outdir: '-'"},
        {"standard output that cannot take it",
         cli + " convert --to bmp " + Q(bmp) + " - >/dev/full", 1,
         "zendra-cli: error writing to standard output"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(Shell(c.line, &err), c.status) << c.what << ": " << err;
        EXPECT_NE(err.find(c.err), std::string::npos) << c.what << ": " << err;
    }
    struct stat st;
    EXPECT_NE(stat((d + "never.bmp").c_str(), &st), 0);
    EXPECT_EQ(LeftInTemporaryFolder(), 0);
}

// Ctrl-C while standard input is still being kept, and a reader that goes
// away before the picture is written out: the temporary files go with the
// program.
TEST(CliPipe, SignalsLeaveNoTemporaryFile) {
    const std::string folder = TestDir() + "/pipe-tmp-signal";
    mkdir(folder.c_str(), 0700);
    for (int sig : {SIGINT, SIGTERM}) {
        int in[2];
        ASSERT_EQ(pipe(in), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            dup2(in[0], 0);
            close(in[0]);
            close(in[1]);
            setenv("TMPDIR", folder.c_str(), 1);
            execl(ZENDRA_CLI, "zendra-cli", "convert", "--to", "bmp", "-",
                  (folder + "-out.bmp").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        // Some bytes, and standard input stays open: the program waits for more.
        ASSERT_EQ(write(in[1], "BM", 2), 2);
        for (int i = 0; i < 400 && LeftInTemporaryFolder(folder) == 0; i++) usleep(10000);
        EXPECT_EQ(LeftInTemporaryFolder(folder), 1);
        kill(pid, sig);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        close(in[1]);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_EQ(LeftInTemporaryFolder(folder), 0) << "after signal " << sig;
    }
}
