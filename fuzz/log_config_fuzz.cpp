// A logging configuration file's bytes: decoded, parsed and written back. A text written
// twice (the first save turns empty comment lines into blank lines) must read back to itself,
// and so must its ANSI bytes when the input was ANSI too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "maintenance/log_config_file.h"
#include "platform/ansi_code_page.h"

namespace {

std::wstring Resaved(const std::wstring& text) {
    qor::LogConfigFile file;
    file.Parse(text);
    return file.Text();
}

bool HasMark(std::string_view bytes) {
    return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
           bytes.starts_with("\xEF\xBB\xBF");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::wstring text;
    if (qor::Failed(qor::DecodeConfigText(bytes, text))) return 0;

    qor::LogConfigFile file;
    file.Parse(text);
    qor::LogConfigEntry* entry = nullptr;
    if (file.Find(L"root", L"Severity", entry) == qor::rc::Ok) {
        qor::LogConfigFile::SetValue(*entry, L"DEBUG");
    }
    const std::wstring saved = Resaved(file.Text());
    if (Resaved(saved) != saved) std::abort();

    std::string ansi;
    if (HasMark(bytes) || qor::Failed(qor::ToAnsiCodePage(saved, ansi))) return 0;
    std::wstring reread;
    if (qor::Failed(qor::DecodeConfigText(ansi, reread)) || Resaved(reread) != saved) std::abort();
    return 0;
}
