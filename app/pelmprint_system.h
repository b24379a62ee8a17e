// What pelmprint asks of the system that Linux and Windows answer in their
// own ways: the files a name pattern matches, and the environment it hands
// the engine its settings in.
#pragma once

#include <string>
#include <vector>

// The files a pattern with * or ? matches, sorted; none when it matches none.
// On Linux the pattern is the shell's (glob); on Windows the system's
// (FindFirstFile: the wildcards in the last part of the name only).
std::vector<std::string> MatchingFiles(const std::string& pattern);

// Sets an environment variable of this process, for the engine to read.
void SetVariable(const char* name, const std::string& value);
