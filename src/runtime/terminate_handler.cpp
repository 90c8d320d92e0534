// Every error of a setup run is trapped where it arises, so an uncaught exception never needs the
// runtime's verbose report: replacing its handler keeps the C++ name demangler (some 70 KiB) out
// of every setup program.
#include <cstdlib>
#include <exception>  // declares the handler: a changed signature stops the configure-time check

namespace __gnu_cxx {

// NOLINTNEXTLINE(bugprone-reserved-identifier): the runtime's own name, which this replaces.
void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
