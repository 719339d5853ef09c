#include "qvm/png_io.h"
bool ReadPng(const std::string&, Picture*, std::string* error) { *error = "todo"; return false; }
bool WritePng(const std::string&, const Picture&, std::string* error) { *error = "todo"; return false; }
