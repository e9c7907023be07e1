// zip_tree_cli SOURCE ARCHIVE [-v]: packs SOURCE as the diagnostics run does; prints the
// result code in hexadecimal on stderr and exits with 0 only on success.
#include <clocale>
#include <cstdio>
#include <cwchar>
#include <string>

#include "archive/zip_directory_tree.h"
#include "common/console.h"
#include "platform/posix/native_path_posix.h"

namespace {

class StdoutConsole final : public qor::Console {
public:
    void Write(std::wstring_view text) override { std::fputws(std::wstring(text).c_str(), stdout); }
    int ReadByte() override { return qor::kEndOfInput; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOURCE ARCHIVE [-v]\n", argv[0]);
        return 2;
    }
    std::setlocale(LC_CTYPE, "C.UTF-8");
    StdoutConsole console;
    const bool verbose = argc > 3 && std::string(argv[3]) == "-v";
    const qor::ResultCode result = qor::ZipDirectoryTree(
        qor::fs::FromNative(argv[1]), qor::fs::FromNative(argv[2]), verbose, console);
    std::fprintf(stderr, "result 0x%08x\n", static_cast<unsigned>(result));
    return result == qor::rc::Ok ? 0 : 1;
}
