// qvm build --video: a recording in, one movie file out.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "qvm/cli_args.h"

// The options of qvm build that only a recording takes.
extern const char* const kVideoOptions[10];

// Runs the whole build and returns the exit code; throws std::runtime_error
// with the message to show, leaving no movie behind.
int BuildFromVideo(const CommandArgs& args);
