// zendra-cli as a user runs it: exit statuses, messages, and files left behind.
#include "unit/test_util.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/wait.h>

namespace {
struct CliRun {
    int status;
    std::string out, err;
};

// Runs zendra-cli; failAlloc, when given, makes its nth memory block fail.
CliRun RunCli(const std::string& args, const char* failAlloc = nullptr) {
    std::string errFile = TestDir() + "/stderr.txt";
    std::string prefix = failAlloc ? std::string("ZENDRA_FAIL_ALLOC=") + failAlloc + " " : "";
    std::string command =
        prefix + std::string(ZENDRA_CLI) + " " + args + " 2>" + errFile + " </dev/null";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    Bytes err = ReadWholeFile(errFile);
    run.err.assign(err.begin(), err.end());
    return run;
}

std::string Sample() {
    BmpSpec bmpFile;
    bmpFile.width = 3;
    bmpFile.height = 2;
    bmpFile.bitCount = 24;
    bmpFile.pixels = PadRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}});
    return WriteTestFile("sample.bmp", BuildBmp(bmpFile));
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d))
        if (e->d_name[0] != '.' || std::string(e->d_name).find(".zendra") == 0)
            names.push_back(e->d_name);
    closedir(d);
    return names;
}
} // namespace

TEST(Cli, ExitStatusesAndMessages) {
    std::string sample = Sample();
    std::string junk = WriteTestFile("junk.bin", Bytes(64, 7));
    std::string d = TestDir();
    struct Case {
        std::string args;
        int status;
        const char* out; // expected in stdout
        const char* err; // expected in stderr
    } cases[] = {
        {"--help", 0, "Usage: zendra-cli info FILE...", ""},
        {"convert --help", 0, "--force", ""},
        {"--version", 0, "zendra-cli 0.", ""},
        {"", 2, "", "missing command"},
        {"frobnicate", 2, "", "unknown command 'frobnicate'"},
        {"info", 2, "", "info needs at least one FILE"},
        {"info " + sample, 0, "image type: Windows DIB \nwidth: 3 \nheight: 2 \n", ""},
        {"info " + d + "/missing.bmp", 1, "", "Error Opening File"},
        {"info " + junk, 1, "", "junk.bin: not a picture this program can read"},
        {"info " + sample + " " + junk, 1, "sample.bmp:\nimage type: Windows DIB", "junk.bin"},
        {"convert " + sample, 2, "", "needs an INPUT and an OUTPUT"},
        {"convert --bogus " + sample + " " + d + "/o.bmp", 2, "", "unknown option '--bogus'"},
        {"convert " + sample + " " + d + "/o.xyz", 2, "", "use --to"},
        {"convert --to gif " + sample + " " + d + "/o.gif", 2, "", "unknown output format 'gif'"},
        {"convert " + sample + " " + d + "/o.tif", 0, "", ""},
        {"convert --to tif-lzw-tiles " + sample + " " + d + "/o", 0, "", ""},
        {"convert --to tif-g3 " + sample + " " + d + "/g3.tif", 1, "", "error converting"},
        {"convert " + junk + " " + d + "/j.bmp", 1, "", "not a picture this program can read"},
        {"convert " + sample + " " + d + "/no/such/dir/o.bmp", 1, "", "cannot create the file"},
        {"convert --force --to bmp " + sample + " /dev/full", 1, "", "error converting"},
    };
    for (const Case& c : cases) {
        CliRun run = RunCli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << c.args << "\n" << run.out;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << "\n" << run.err;
        if (c.status == 2 && *c.err) {
            EXPECT_EQ(run.err.find("zendra-cli: "), 0u) << "messages name the program";
        }
    }
    EXPECT_FALSE(FileExists(d + "/j.bmp"));
    EXPECT_FALSE(FileExists(d + "/g3.tif"));
    for (const std::string& name : FilesIn(d)) EXPECT_EQ(name.find(".zendra"), std::string::npos);
}

// A reader that said why it gave up is not followed by a second line of its
// own; one that gave up without a word is.
TEST(Cli, OneReportForEachFailedRead) {
    Bytes cut = ReadWholeFile(Sample());
    cut.resize(20); // "BM" and a 40-byte header that is not there
    const std::string header = WriteTestFile("cut.bmp", cut);
    const Bytes noFrame = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x3B};
    const std::string gif = WriteTestFile("empty.gif", noFrame);
    for (const char* name : {"info ", "convert "}) {
        const std::string command = name;
        const std::string out = command == "info " ? "" : " " + TestDir() + "/never.bmp";
        CliRun run = RunCli(command + header + out);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("Invalid Bitmap Header"), std::string::npos) << command << run.err;
        EXPECT_EQ(run.err.find("not a picture"), std::string::npos) << command << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << command << run.err;

        run = RunCli(command + gif + out);
        EXPECT_EQ(run.status, 1) << command;
        EXPECT_NE(run.err.find("empty.gif: not a picture this program can read"), std::string::npos)
            << command << run.err;
    }
    EXPECT_FALSE(FileExists(TestDir() + "/never.bmp"));
}

TEST(Cli, NeverOverwritesWithoutForce) {
    std::string sample = Sample();
    std::string target = WriteTestFile("existing.bmp", Bytes{'k', 'e', 'e', 'p'});
    CliRun run = RunCli("convert " + sample + " " + target);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("file exists (use --force to overwrite)"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(target), (Bytes{'k', 'e', 'e', 'p'}));

    run = RunCli("convert --force " + sample + " " + target);
    EXPECT_EQ(run.status, 0) << run.err;
    Bytes written = ReadWholeFile(target);
    ASSERT_EQ(written.size(), 54u + 24);
    Bytes source = ReadWholeFile(sample);
    EXPECT_EQ(Bytes(written.begin() + 54, written.end()), Bytes(source.begin() + 54, source.end()));
    for (const std::string& name : FilesIn(TestDir()))
        EXPECT_EQ(name.find(".zendra"), std::string::npos) << "no temporary file is left";
}

TEST(Cli, AReaderErrorIsNotAConversion) {
    // An RLE 8 picture: the record is the first allocation, the decoder's read
    // buffer the second. Without its buffer the reader hands over a black
    // picture after its message; zendra-cli must not write that as a success.
    BmpSpec bmpFile;
    bmpFile.width = 4;
    bmpFile.height = 1;
    bmpFile.bitCount = 8;
    bmpFile.compression = BI_RLE8;
    bmpFile.clrUsed = 2;
    bmpFile.colors = {0x000000, 0xFFFFFF};
    bmpFile.pixels = {4, 1, 0, 1};
    std::string input = WriteTestFile("rle8.bmp", BuildBmp(bmpFile));
    struct Case {
        const char* fail;
        int status;
        bool written;
    } cases[] = {{"0", 0, true}, {"1", 1, false}, {"2", 1, false}};
    for (const Case& c : cases) {
        std::string output = TestDir() + "/rle8-out-" + c.fail + ".bmp";
        CliRun run = RunCli(std::string("convert ") + input + " " + output, c.fail);
        EXPECT_EQ(run.status, c.status) << c.fail << "\n" << run.err;
        EXPECT_EQ(FileExists(output), c.written) << c.fail;
        if (c.status) {
            EXPECT_NE(run.err.find("Memory Allocation Error"), std::string::npos) << c.fail;
        }
    }
}

// Metafiles: described by info as the viewer's File Info shows them (the
// values are those of the files' headers), refused by convert as Convert/Save
// refuses them, and a Windows metafile offered as an enhanced one refused
// with a message rather than described with made-up values.
TEST(Cli, MetafilesAreDescribedAndNotConverted) {
    const std::string data = std::string(ZENDRA_TEST_DATA) + "/metafile/";
    CliRun wmf = RunCli("info " + data + "boxes.wmf");
    EXPECT_EQ(wmf.status, 0);
    EXPECT_EQ(wmf.out, "image type: placeable WMF \nversion: 0x300 \nfile size: 178 \nnumber of "
                       "objects: 4 \nmax record size: 20\nwidth: 2500 \nheight: 1250 \nunits per "
                       "inch: 1200\n");
    EXPECT_EQ(wmf.err, "");
    CliRun emf = RunCli("info " + data + "circle.emf");
    EXPECT_EQ(emf.status, 0);
    EXPECT_EQ(emf.out, "image type: Enhanced Metafile EMF \nversion: 0x10000 \nfile size: 1180 "
                       "\nnumber of records: 48 \nnumber of handles: 3\nwidth: 1512 \nheight: "
                       "1512 \n");

    std::string out = TestDir() + "/meta.bmp";
    CliRun convert = RunCli("convert " + data + "boxes.emf " + out);
    EXPECT_EQ(convert.status, 1);
    EXPECT_EQ(convert.err, "zendra-cli: " + data +
                               "boxes.emf: Unable to Convert File: Current File is Not a Bitmap\n");
    EXPECT_FALSE(FileExists(out));

    Bytes plain = ReadWholeFile(data + "boxes.wmf");
    plain.erase(plain.begin(), plain.begin() + 22);
    std::string offered = WriteTestFile("plain-as.emf", plain);
    CliRun converted = RunCli("info " + offered);
    EXPECT_EQ(converted.status, 1);
    EXPECT_EQ(converted.out, "");
    EXPECT_NE(converted.err.find("not available in this build"), std::string::npos);
    EXPECT_NE(converted.err.find("plain-as.emf: Failed to Create MetaFile from Bits\n"),
              std::string::npos)
        << converted.err;
}
