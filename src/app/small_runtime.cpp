// The C++ runtime's failure paths for the player's small build, which has no
// exceptions. The library's own versions throw, and one throw links in the
// exception machinery, the unwinder, the demangler and the thread library:
// some 200 KB, three times the rest of the player. Here each of them says what
// failed and ends the process as any other failure does. Linked only into the
// player and the stage bench; the tests keep the library's own.
#include <cstdlib>
#include <new>
#include <string>

#include "platform/failure.h"
#include "platform/platform.h"

namespace {
[[noreturn]] void EndWith(const char* what) {
  Say("%s\n", what);
  platform::exit_process(kExitFailure);
}

void* Allocate(std::size_t size) {
  if (void* p = std::malloc(size ? size : 1)) return p;
  EndWith("out of memory");
}
}  // namespace

// A failed allocation is as fatal as bad_alloc left uncaught would have been.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

// What the containers and strings call on a bad length or index; our code
// never asks for one, so reaching any of these is a fault in the program.
namespace std {
void __throw_bad_alloc() { EndWith("out of memory"); }
void __throw_bad_array_new_length() { EndWith("out of memory"); }
void __throw_length_error(const char* what) { EndWith(what); }
void __throw_logic_error(const char* what) { EndWith(what); }
void __throw_out_of_range(const char* what) { EndWith(what); }
void __throw_out_of_range_fmt(const char* what, ...) { EndWith(what); }
void __throw_invalid_argument(const char* what) { EndWith(what); }
}  // namespace std

// The library's compiled strings were built with exceptions, and linking them
// brings the unwinder back; these copies are built here, without, and the
// linker keeps only the members the program calls.
template class std::basic_string<char>;
