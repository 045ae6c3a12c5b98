#pragma once
// The pelmar-tool verbs that work with a profile's area tree and the letter engine: send, uu decode,
// areas list, areas add.
#include <iosfwd>

namespace pelmar::cli {

// Usage lines of these verbs.
extern const char* const LetterVerbsUsage;

// True when argv[1] names one of these verbs.
bool IsLetterVerb(int argc, char** argv);
// Runs it and reports errors on stderr. Exit codes: 0 success, 1 bad usage or a failure (a
// destination not written, a file not saved), 3 when some messages of a base could not be read.
int RunLetterVerb(int argc, char** argv);

}  // namespace pelmar::cli
