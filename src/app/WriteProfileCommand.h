#pragma once

class CommandLineOptions;

// --write-profile: stores the settings given on the command line (the password read from
// standard input) in the chosen profile and prints the profile's path. The exit status:
// 0 when written, 2 when the password was missing or the profile could not be written.
int WriteProfileCommand(const CommandLineOptions& options);
