#pragma once
// pelmar-tool nodelist: compiles the nodelist index and looks people and nodes up in it.
#include <string>
#include <vector>

namespace pelmar::cli {

extern const char* const NodelistUsage;

// `args` are the words after "nodelist" (UTF-8). Exit code: 0 done, 1 bad usage or failure, 2 when
// find found nothing.
int RunNodelistCommand(const std::vector<std::string>& args);

}  // namespace pelmar::cli
