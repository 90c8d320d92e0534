// The standard exceptions keep their message in the old reference-counted std::string. The
// runtime's own instantiation of that string (some 31 KiB, and it drags in std::random_device and
// a second copy of the new string's members) is linked whole for the seven members the exception
// classes call, since ld keeps every function an object's .eh_frame refers to. Instantiating just
// those members here, from the same library headers, keeps it out of every setup program.
//
// This file is compiled with _GLIBCXX_USE_CXX11_ABI=0 (cmake/SetupProgram.cmake), so std::string
// below is that old string.
#include <string>

#if _GLIBCXX_USE_CXX11_ABI
#error "compile this file with _GLIBCXX_USE_CXX11_ABI=0"
#endif

namespace std {

template void string::swap(string&);
template string& string::assign(const string&);
template char* string::_S_construct(size_type, char, const allocator<char>&);
template string::_Rep* string::_Rep::_S_create(size_type, size_type, const allocator<char>&);
template char* string::_Rep::_M_clone(const allocator<char>&, size_type);
template void string::_Rep::_M_destroy(const allocator<char>&);
template void string::_Rep::_M_dispose(const allocator<char>&);

}  // namespace std
