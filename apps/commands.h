#pragma once
#include "cli_common.h"

namespace tavrena::cli {

// Each command receives the arguments after its name and returns the exit code.
int runCheck(Args args);
int runDefaults(Args args);
int runGenerate(Args args);
int runState(Args args);
int runExport(Args args);
int runEditor(Args args);
int runRender(Args args);
int runPlay(Args args);

}  // namespace tavrena::cli
