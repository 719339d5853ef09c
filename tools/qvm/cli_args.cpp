#include "qvm/cli_args.h"

#include <cstdint>
#include <stdexcept>

std::string CommandArgs::value(const std::string& name, const std::string& otherwise) const {
  auto found = values.find(name);
  return found == values.end() ? otherwise : found->second;
}

std::vector<std::string> CommandArgs::all(const std::string& name) const {
  std::vector<std::string> found;
  for (const auto& option : in_order) {
    if (option.first == name) found.push_back(option.second);
  }
  return found;
}

CommandArgs ParseCommandArgs(int argc, char** argv, const std::set<std::string>& valued,
                             const std::set<std::string>& flags) {
  CommandArgs args;
  bool options_ended = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      args.plain.push_back(arg);
    } else if (arg == "--") {
      options_ended = true;
    } else if (flags.count(arg)) {
      args.flags.insert(arg);
    } else if (!valued.count(arg)) {
      throw std::runtime_error("unknown option " + arg);
    } else if (i + 1 == argc) {
      throw std::runtime_error(arg + " needs a value");
    } else {
      args.values[arg] = argv[++i];
      args.in_order.emplace_back(arg, argv[i]);
    }
  }
  return args;
}

int32_t ParseCount(const std::string& text, const std::string& what) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    throw std::runtime_error(what + " must be a whole number from 0 to 999999999, not \"" +
                             text + "\"");
  }
  return static_cast<int32_t>(std::stol(text));
}
