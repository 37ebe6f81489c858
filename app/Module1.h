#pragma once

namespace horalux {

// Start-up: builds the main window and runs the program's event loop. Returns the
// process's exit status; 1 when the start-up check ended the program.
int Module1_Main(int argc, char** argv);

}  // namespace horalux
