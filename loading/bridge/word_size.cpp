#include "loading/bridge/word_size.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace lumhost {
namespace {

// Little-endian fields, appended in order.
class Bytes {
public:
    Bytes& put(uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<unsigned char>(value >> (8 * i)));
        return *this;
    }
    Bytes& put(std::initializer_list<unsigned char> raw) {
        bytes_.insert(bytes_.end(), raw);
        return *this;
    }
    std::vector<unsigned char> take() { return std::move(bytes_); }

private:
    std::vector<unsigned char> bytes_;
};

// One loadable segment holding the headers and the code, mapped read and
// execute at the usual base; the code is the exit system call.
std::vector<unsigned char> i386Program() {
    constexpr uint32_t base = 0x08048000, headers = 52 + 32;
    const std::initializer_list<unsigned char> code = {
        0x31, 0xDB,                    // xor ebx, ebx      (status 0)
        0xB8, 0x01, 0x00, 0x00, 0x00,  // mov eax, 1        (exit)
        0xCD, 0x80,                    // int 0x80
    };
    const uint32_t size = headers + static_cast<uint32_t>(code.size());
    Bytes elf;
    elf.put({0x7F, 'E', 'L', 'F', 1 /* 32-bit */, 1 /* little-endian */, 1 /* version */, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    elf.put(2, 2).put(3, 2).put(1, 4);              // executable, i386, version
    elf.put(base + headers, 4).put(52, 4).put(0, 4);  // entry, program headers, no section headers
    elf.put(0, 4).put(52, 2).put(32, 2).put(1, 2);  // flags, header size, program header size and count
    elf.put(40, 2).put(0, 2).put(0, 2);             // section header size, count, names
    elf.put(1, 4).put(0, 4).put(base, 4).put(base, 4);  // PT_LOAD from offset 0 at base
    elf.put(size, 4).put(size, 4).put(5, 4).put(0x1000, 4);  // sizes in file and memory, R+X, page aligned
    elf.put(code);
    return elf.take();
}

std::vector<unsigned char> x86_64Program() {
    constexpr uint64_t base = 0x400000, headers = 64 + 56;
    const std::initializer_list<unsigned char> code = {
        0x31, 0xFF,                    // xor edi, edi      (status 0)
        0xB8, 0x3C, 0x00, 0x00, 0x00,  // mov eax, 60       (exit)
        0x0F, 0x05,                    // syscall
    };
    const uint64_t size = headers + code.size();
    Bytes elf;
    elf.put({0x7F, 'E', 'L', 'F', 2 /* 64-bit */, 1 /* little-endian */, 1 /* version */, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    elf.put(2, 2).put(0x3E, 2).put(1, 4);             // executable, x86-64, version
    elf.put(base + headers, 8).put(64, 8).put(0, 8);  // entry, program headers, no section headers
    elf.put(0, 4).put(64, 2).put(56, 2).put(1, 2);    // flags, header size, program header size and count
    elf.put(64, 2).put(0, 2).put(0, 2);               // section header size, count, names
    elf.put(1, 4).put(5, 4).put(0, 8);                // PT_LOAD, R+X, from offset 0
    elf.put(base, 8).put(base, 8).put(size, 8).put(size, 8).put(0x1000, 8);
    elf.put(code);
    return elf.take();
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const auto put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

}  // namespace

std::vector<unsigned char> trivialProgram(int bits) { return bits == 32 ? i386Program() : x86_64Program(); }

ExecAnswer tryProgram(const std::vector<unsigned char>& image) {
    const int program = ::memfd_create("lumhost-word-size", MFD_CLOEXEC);
    if (program < 0) return ExecAnswer::couldNotAsk;
    if (!writeAll(program, image.data(), image.size()) || ::fchmod(program, 0700) != 0) {
        ::close(program);
        return ExecAnswer::couldNotAsk;
    }
    // The child reports exec's errno through a pipe that closes on a
    // successful exec: nothing read means the kernel took the program.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        ::close(program);
        return ExecAnswer::couldNotAsk;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        char* const argv[] = {const_cast<char*>("lumhost-word-size"), nullptr};
        char* const envp[] = {nullptr};
        ::fexecve(program, argv, envp);
        const int error = errno;
        (void)!::write(report[1], &error, sizeof error);
        ::_exit(127);
    }
    ::close(report[1]);
    ::close(program);
    if (child < 0) {
        ::close(report[0]);
        return ExecAnswer::couldNotAsk;
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof error)) return ExecAnswer::ran;
    return error == ENOEXEC ? ExecAnswer::wrongFormat : ExecAnswer::couldNotAsk;
}

std::optional<std::string> whyNoThirtyTwoBitPrograms() {
    static const std::optional<std::string> answer = []() -> std::optional<std::string> {
        const char* pretend = std::getenv("LUMHOST_TEST_NO_32_BIT");
        const bool cannot = (pretend != nullptr && std::strcmp(pretend, "1") == 0) ||
                            tryProgram(trivialProgram(32)) == ExecAnswer::wrongFormat;
        if (!cannot) return std::nullopt;
        return "this machine cannot run 32-bit programs (its kernel answers \"Exec format error\" to them, Wine's 32-bit "
               "loader among them): use a 64-bit build of the module (PE32+), or run this one on a machine whose kernel "
               "runs 32-bit programs";
    }();
    return answer;
}

}  // namespace lumhost
