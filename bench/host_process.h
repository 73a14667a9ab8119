// A program of the bench seen from the host: under Wine every Windows process is
// a host process too, and the host's process table (drive Z: is the host's root)
// has figures that Wine's own process queries leave out.
#pragma once
#include <string>

namespace qxt
{

// A host file read whole ("" when it cannot be opened), e.g. "Z:\\proc\\self\\stat".
std::string readHostFile(const std::string &path);
// The host process folder ("Z:\\proc\\N") of the program whose command line holds
// `exe` (lower case) in this Wine prefix, or "".
std::string hostProcessOf(const char *exe);
// A "Name:  N kB" line of the host process's status file, in kB; -1 when missing.
long hostStatusKb(const std::string &hostProcess, const char *name);
// Open file descriptors of the host process; -1 when they cannot be listed.
int hostOpenFiles(const std::string &hostProcess);

} // namespace qxt
