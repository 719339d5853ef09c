// PNG pictures in and out, through libpng, in the stack's pixel order.
#pragma once
#include <string>

#include "qvm/movie_writer.h"

// Reads an 8-bit RGB or RGBA (or any colour type libpng can expand) PNG.
bool ReadPng(const std::string& path, Picture* picture, std::string* error);
bool WritePng(const std::string& path, const Picture& picture, std::string* error);
