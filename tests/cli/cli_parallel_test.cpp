// The README's recipe for batches over several machines, run as written with
// GNU parallel on this machine alone (--sshlogin :): every good file
// converted into the output folder under its relative path, byte for byte as
// zendra-cli converts it by itself, and the failing file in the job log, in
// errors.log under its name and in the list of failed files.
//
// Tools needed (Debian packages): parallel.
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {
// The README beside the library sources' folder (build/deps/src).
const std::string kReadme = std::string(ZENDRA_DEPS_SRC) + "/../../../README.md";

std::string Q(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command of the README's code block whose first line starts with start:
// its lines up to the first that does not end with a backslash.
std::string RecipeCommand(const std::string& start) {
    std::ifstream in(kReadme);
    std::string line, command;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!inside && line.rfind("    " + start, 0) != 0) continue;
        inside = true;
        command += line.substr(4) + "\n";
        if (line.empty() || line.back() != '\\') break;
    }
    return command;
}

int RunIn(const std::string& folder, const std::string& command) {
    const std::string cli = ZENDRA_CLI;
    const std::string path = cli.substr(0, cli.rfind('/'));
    int status = std::system(("cd " + Q(folder) + " && PATH=" + Q(path) + ":\"$PATH\" sh -c " +
                              Q(command) + " >/dev/null 2>&1")
                                 .c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Text(const std::string& path) {
    Bytes b = ReadWholeFile(path);
    return std::string(b.begin(), b.end());
}
} // namespace

TEST(CliParallel, TheReadmeRecipeOnThisMachine) {
    ASSERT_EQ(std::system("command -v parallel >/dev/null 2>&1"), 0)
        << "GNU parallel is missing (Debian package parallel)";
    std::string batch = RecipeCommand("parallel --sshlogin ");
    const std::string failed = RecipeCommand("awk ");
    ASSERT_NE(batch, "") << "no parallel command in " << kReadme;
    ASSERT_NE(failed, "") << "no awk command in " << kReadme;
    const std::string hosts = "--sshlogin 4/alpha,4/beta,:";
    ASSERT_NE(batch.find(hosts), std::string::npos) << batch;
    batch.replace(batch.find(hosts), hosts.size(), "--will-cite --sshlogin :");

    const std::string d = TestDir() + "/recipe";
    ASSERT_EQ(RunIn(TestDir(), "rm -rf recipe && mkdir -p recipe/pictures/old recipe/more"), 0);
    std::vector<std::string> good = {"pictures/a.pcx", "more/b.pcx", "pictures/old/c d.pcx"};
    std::string list;
    for (size_t i = 0; i < good.size(); i++) {
        BmpSpec layout;
        layout.width = int32_t(3 + i);
        layout.height = 2;
        layout.pixels = PadRows({Bytes(3 * (3 + i), BYTE(40 * i)), Bytes(3 * (3 + i), 200)});
        WriteTestFile("recipe/" + good[i], BuildBmp(layout));
        list += good[i] + "\n";
        if (i == 0) list += "pictures/broken.pcx\n";
    }
    WriteTestFile("recipe/pictures/broken.pcx", Bytes(50, 0x0A));
    WriteTestFile("recipe/list.txt", Bytes(list.begin(), list.end()));

    // One failed file: parallel's exit status counts the failures.
    EXPECT_EQ(RunIn(d, batch), 1) << batch;
    for (size_t i = 0; i < good.size(); i++) {
        const std::string png = good[i].substr(0, good[i].size() - 4) + ".png";
        const std::string alone = "alone-" + std::to_string(i) + ".png";
        ASSERT_EQ(RunIn(d, "zendra-cli convert --to png " + Q(good[i]) + " " + alone), 0);
        Bytes got = ReadWholeFile(d + "/converted/" + png);
        EXPECT_FALSE(got.empty()) << png;
        EXPECT_TRUE(got == ReadWholeFile(d + "/" + alone)) << png;
    }
    EXPECT_FALSE(FileExists(d + "/converted/pictures/broken.png"));
    // Without remote hosts parallel warns that it has nothing to transfer.
    std::string errors = Text(d + "/errors.log");
    const std::string warning =
        "parallel: Warning: --transferfile ignored as there are no remote --sshlogin.\n";
    if (errors.rfind(warning, 0) == 0) errors.erase(0, warning.size());
    EXPECT_EQ(errors,
              "pictures/broken.pcx\tzendra-cli: pictures/broken.pcx: not a picture this program "
              "can read\n");
    ASSERT_EQ(RunIn(d, failed), 0) << failed;
    EXPECT_EQ(Text(d + "/failed.txt"), "pictures/broken.pcx\n");
    // The input files stay where they were.
    for (const std::string& name : good) EXPECT_TRUE(FileExists(d + "/" + name)) << name;
}
