// Forced into every translation unit of setup code (src/runtime/CMakeLists.txt).
//
// libstdc++ declares std::string and a few others `extern template`, so our code calls the
// library's explicit instantiations instead of instantiating what it uses. In a static PE link that
// costs the whole archive member: ld keeps every .eh_frame section, and an object's .eh_frame
// refers to every function in it, so --gc-sections can drop none of them. Instantiating what we
// use in our own objects links only that. The code is the same template code either way.
#pragma once
#include <bits/c++config.h>
// The switch this turns off must be the library's: if it is not there, this header would change
// nothing and the library's instantiations would be linked after all (checked when the build is
// configured).
#ifndef _GLIBCXX_EXTERN_TEMPLATE
#error "libstdc++ has no _GLIBCXX_EXTERN_TEMPLATE switch here"
#endif
// NOLINTBEGIN(bugprone-reserved-identifier): the library's own switch, which this turns off.
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
// NOLINTEND(bugprone-reserved-identifier)
