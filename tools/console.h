// The tools' side of the user's terminal: the arguments as UTF-8 texts whatever the system, files
// by UTF-8 names, and output written so that it shows right where it goes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace addin::tools {

enum class Stream { Out, Err };

// The options every tool takes. --utf8 is taken out of the arguments: texts that go into a file
// or a pipe are then written in UTF-8 instead of the console's code page (cp866 on a Russian
// Windows, so that `type` and `more` show them); on Linux they are UTF-8 either way. True when the
// usage is asked for (--help, -h or /?).
bool TakeCommonOptions(std::vector<std::string>& args);

// Writes a UTF-8 text. On Windows a console gets it through WriteConsoleW, whatever its code page,
// and every line end becomes CRLF.
void Write(Stream to, std::string_view text);

// A whole file by its UTF-8 name (a Cyrillic path works on Windows too); std::runtime_error
// naming the file when it cannot be read or written.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::string_view bytes);

// The text followed by blanks up to a width in characters (not bytes), for columns.
std::string PadRight(std::string_view utf8, std::size_t width);

}  // namespace addin::tools

// Each tool's body: the arguments after the program's name, as UTF-8; its exit status.
int ToolMain(std::vector<std::string> args);
