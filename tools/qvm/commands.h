// The qvm commands. Each takes the arguments after its own name, writes its
// results and returns the exit code; a failure throws std::runtime_error with
// the message main shows on standard error.
#pragma once

int RunBuild(int argc, char** argv);
int RunBundle(int argc, char** argv);
int RunPair(int argc, char** argv);
int RunInfo(int argc, char** argv);
int RunFrame(int argc, char** argv);
int RunHtml(int argc, char** argv);
