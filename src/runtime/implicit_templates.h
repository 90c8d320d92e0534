// Forced into every Windows translation unit of ours (cmake/CompilerFlags.cmake).
//
// libstdc++ declares std::string and a few others `extern template`, so our code calls the
// library's explicit instantiations instead of instantiating what it uses. In a static PE link that
// costs the whole archive member: ld keeps every .eh_frame section, and an object's .eh_frame
// refers to every function in it, so --gc-sections can drop none of them. Instantiating what we
// use in our own objects links only that. The code is the same template code either way.
#pragma once
#include <bits/c++config.h>
// NOLINTBEGIN(bugprone-reserved-identifier): the library's own switch, which this turns off.
#undef _GLIBCXX_EXTERN_TEMPLATE
#define _GLIBCXX_EXTERN_TEMPLATE 0
// NOLINTEND(bugprone-reserved-identifier)
