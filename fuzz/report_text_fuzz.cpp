// A file of the package as the report page shows it, and the page built with the same bytes
// in every file it reads facts from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/text_encoding.h"
#include "diag/run/report_page.h"
#include "diag/run/report_text.h"

namespace {

// Lead bytes as in code page 932.
qor::LeadByteTable ShiftJisLeads() {
    qor::LeadByteTable leads{};
    for (int lead = 0x81; lead <= 0xFC; ++lead) leads[lead] = lead <= 0x9F || lead >= 0xE0;
    return leads;
}

// Without a mark, a cut of half the bytes must fall where a walk from the start, a lead byte
// taking two, puts a character boundary.
void CheckTwoByteCut(std::string_view bytes) {
    static const qor::LeadByteTable leads = ShiftJisLeads();
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xEF\xBB\xBF")) return;
    const std::size_t cut = qor::TextCutPoint(bytes, bytes.size() / 2, leads);
    std::size_t at = 0;
    while (at < cut) at += leads[static_cast<unsigned char>(bytes[at])] ? 2 : 1;
    if (at != cut || cut + 1 < bytes.size() / 2) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckTwoByteCut(bytes);
    const std::string head(bytes.substr(0, qor::TextCutPoint(bytes, qor::kPageCutBytes)));
    const std::string html = qor::FileBytesAsHtml(head);
    if (html.find_first_of("<>\"'") != std::string::npos) std::abort();  // unescaped markup

    qor::PageContent content;
    for (const wchar_t* name :
         {L"runlog.txt", L"sysdump.txt", L"tdidump.txt", L"wddump.txt", L"aviversion.txt"}) {
        content.dumps.push_back(qor::PageDump{name, size, head, qor::rc::Ok});
    }
    const std::string page =
        qor::BuildReportPage(content, [](std::uint32_t) { return std::wstring(L"<&>"); });
    if (page.find("<script") != std::string::npos) std::abort();
    if (qor::ToUtf8(qor::FromUtf8(page)) != page) std::abort();  // not valid UTF-8
    return 0;
}
