// The vexa tool's commands; each takes the arguments after its name and returns the exit code.
#pragma once

int CommandInfo(int argc, char** argv);
int CommandDecode(int argc, char** argv);
int CommandEncode(int argc, char** argv);
