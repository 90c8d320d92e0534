# Compiler options of every Windows target of ours that keep parts of the C++ runtime out of the
# shipped programs. What each costs the code is in README.md beside this file.

# No stack probes: gcc probes only frames over 4000 bytes, and a frame limit (an error even without
# QOR_WERROR, with variable-length arrays and alloca) keeps every frame of ours under it, so no
# probe is lost.
target_compile_options(qor_flags INTERFACE -mno-stack-arg-probe -Werror=frame-larger-than=4000
                                           -Werror=vla -Werror=alloca)
# Function-local statics without the runtime's thread-safe guard: the one way statics are made
# once in setup code, which runs on one thread.
target_compile_options(qor_flags INTERFACE -fno-threadsafe-statics)
# Our own instantiations of the library's templates (quoted: the source path may hold spaces).
target_compile_options(qor_flags INTERFACE
                       "SHELL:-include \"${CMAKE_CURRENT_LIST_DIR}/implicit_templates.h\"")
