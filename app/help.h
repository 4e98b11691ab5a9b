// What `zarvanto --help` and `zarvanto --version` print.
#pragma once

// The command line, the keys and the exit statuses, on standard output.
void printHelp();
// The program's name and version, on standard output.
void printVersion();
