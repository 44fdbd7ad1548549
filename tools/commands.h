// The vexa tool's commands; each takes the arguments after its name and returns the exit code.
#pragma once

int CommandInfo(int argc, char** argv);
int CommandDecode(int argc, char** argv);
int CommandEncode(int argc, char** argv);

// The whole tool: argv[1] names the command. Never throws: what the standard library throws
// ends as a message on stderr and exit status 1.
int VexaMain(int argc, char** argv);
