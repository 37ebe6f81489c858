#pragma once

#include <cstdio>

#include "cli/CliArguments.h"
#include "platform/Internet.h"

namespace horalux {

// Runs the request: the list of countries, the help or version text, or one fetch whose
// lines go to `out` and whose status captions and failure text go to `err`. Returns the
// exit code.
int runCli(const CliRequest& request, Internet& internet, std::FILE* out, std::FILE* err);

}  // namespace horalux
