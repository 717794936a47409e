// zendra-helpc SOURCE OUTPUT: compiles the help text into a Windows Help file.
// Every problem in the source is reported as SOURCE:LINE: message and fails
// the run, so that a broken cross-reference or a topic without a title stops
// the build. The output is replaced only once it is complete.
#include "help_source.h"
#include "hlp_write.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: zendra-helpc SOURCE OUTPUT\n";
        return 2;
    }
    const std::string sourcePath = argv[1], outputPath = argv[2];
    std::ifstream in(sourcePath, std::ios::binary);
    if (!in) {
        std::cerr << "zendra-helpc: " << sourcePath << ": cannot be read\n";
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();

    HelpProject project;
    std::vector<HelpError> errors;
    if (!ParseHelpSource(text.str(), &project, &errors)) {
        for (const HelpError& e : errors)
            std::cerr << sourcePath << ":" << e.line << ": " << e.message << "\n";
        return 1;
    }
    Bytes file;
    std::string error;
    if (!WriteHelpFile(project, &file, &error)) {
        std::cerr << "zendra-helpc: " << sourcePath << ": " << error << "\n";
        return 1;
    }
    const std::string partial = outputPath + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        out.close();
        if (!out) {
            std::remove(partial.c_str());
            std::cerr << "zendra-helpc: " << partial << ": cannot be written\n";
            return 1;
        }
    }
    if (std::rename(partial.c_str(), outputPath.c_str()) != 0) {
        std::remove(partial.c_str());
        std::cerr << "zendra-helpc: " << outputPath << ": cannot be written\n";
        return 1;
    }
    return 0;
}
