#pragma once
// The command line: `talvane [FOLDER]`, with --help and --version.

#include <QCommandLineParser>
#include <string>
#include <vector>

namespace talvane {

// Sets up `parser` with the program's options and its one optional argument.
void DescribeCommandLine(QCommandLineParser& parser);

// Answers --help and --version (printing, then ending the process) before the application
// object exists, so they need no display. Anything else is left for the full parse.
void AnswerHelpOrVersion(int argc, char** argv);

// The arguments that are not options, byte for byte as they were passed: a folder's name
// need not be valid in the locale's encoding. Everything after "--" is an argument; a lone
// "-" is one too.
std::vector<std::string> ArgumentBytes(int argc, char** argv);

// `path` made absolute against the current folder, without "." steps or trailing slashes,
// so the banners' keys are whole paths and the opener's working folder does not depend on
// where Talvane was started.
std::string AbsoluteFolder(const std::string& path);

}  // namespace talvane
