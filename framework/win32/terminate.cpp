// What std::terminate calls in the Windows programs: abort, as the C++
// runtime's default handler does once it has written the exception's type
// and message to standard error.  That writing brings the runtime's symbol
// demangler and printf-style formatting, about an eighth of each program,
// for text a program without a console never shows.  An exception that
// escapes everything still ends the program as before.
//
// Defined here, in an object each program links, the linker takes this one
// and never looks for the runtime's own in its archive.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
