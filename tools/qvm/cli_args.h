// The arguments of one qvm command: options that take a value ("-o FILE"),
// flags ("--inactive") and the plain arguments, in their order.
#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct CommandArgs {
  std::vector<std::string> plain;
  std::map<std::string, std::string> values;  // the last value of each option
  std::vector<std::pair<std::string, std::string>> in_order;  // every value given
  std::set<std::string> flags;

  bool has(const std::string& name) const { return values.count(name) || flags.count(name); }
  std::string value(const std::string& name, const std::string& otherwise = "") const;
  // Every value of an option that may be given more than once.
  std::vector<std::string> all(const std::string& name) const;
};

// Throws std::runtime_error for an unknown option or one without its value.
// "--" ends the options, for a file whose name begins with "-".
CommandArgs ParseCommandArgs(int argc, char** argv, const std::set<std::string>& valued,
                             const std::set<std::string>& flags);

// A decimal number of at most nine digits, so it fits 32 bits; throws otherwise.
int32_t ParseCount(const std::string& text, const std::string& what);
