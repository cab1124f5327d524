// Whether this machine runs programs of a word size at all. A 32-bit Windows
// module runs under Wine's 32-bit loader, itself a 32-bit Linux program, so
// a kernel built without 32-bit support (or with it switched off) can never
// host one. The only sure way to know is to ask the kernel: run a program
// that does nothing but exit, and see whether exec answers "Exec format
// error".
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumhost {

// A complete static ELF program of `bits` (32: i386, 64: x86-64) whose only
// work is to exit with status 0; a few dozen bytes, no libraries.
std::vector<unsigned char> trivialProgram(int bits);

enum class ExecAnswer {
    ran,            // the kernel started it (whatever became of it then)
    wrongFormat,    // exec said ENOEXEC: the kernel runs no program of this kind
    couldNotAsk,    // no way to run it here (no memory file, fork failed, a policy refused exec)
};

// Runs `image` from an anonymous memory file, in a child process.
ExecAnswer tryProgram(const std::vector<unsigned char>& image);

// Empty where 32-bit programs run (or where the question cannot be asked,
// so that Wine itself gets to try); otherwise the reason, as one clause
// that a message can carry. Asked once per process.
//
// LUMHOST_TEST_NO_32_BIT=1 in the environment gives the answer of a
// machine that cannot run them, so the tests of what lumhost then says run
// on every machine.
std::optional<std::string> whyNoThirtyTwoBitPrograms();

}  // namespace lumhost
