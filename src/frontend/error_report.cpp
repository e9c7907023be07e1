#include "frontend/error_report.h"

#include <cwchar>
#include <iterator>
#include <new>

#include "common/text_format.h"

namespace qor {
namespace {

std::wstring HexCode(const wchar_t* format, ResultCode code) {
    return FormatText(format, static_cast<unsigned>(code));
}

constexpr const wchar_t* kPrintErrorCodeFormat =
    L"Error caught - 0x%x.\nPlease provide it to your Technical Support contact.\n";
constexpr const wchar_t* kPrintErrorFallback =
    L"Error caught:\nUnformatted QorFwDiag error, code: 0x%x"
    L"\n\nPlease provide it to your Technical Support contact.\n";

// Last resort when the heap is exhausted: a fixed buffer on the stack.
void WriteWithoutHeap(Console& console, const wchar_t* format, ResultCode code) noexcept {
    wchar_t text[160];
    const int length = std::swprintf(text, std::size(text), format, static_cast<unsigned>(code));
    if (length > 0) console.Write(std::wstring_view(text, static_cast<std::size_t>(length)));
}

void AppendRecord(std::wstring& text, std::wstring_view prefix, const QorException& record) {
    text += prefix;
    text += HexCode(L"%08x", record.Code());
    bool first = true;
    for (const auto& [name, value] : record.Values()) {
        if (!first) text += L',';
        first = false;
        text += L' ';
        text += name;
        text += L" = \"";
        text += value;
        text += L'"';
    }
}

}  // namespace

ResultCode FormatError(std::wstring& out, std::wstring_view prefix,
                       const QorException& record) noexcept {
    try {
        std::wstring text;
        AppendRecord(text, prefix, record);
        for (const QorException* inner = record.Inner(); inner; inner = inner->Inner()) {
            text += L'\n';
            AppendRecord(text, prefix, *inner);
        }
        out += text;
        return rc::Ok;
    } catch (const std::bad_alloc&) {
        return rc::OutOfMemory;
    }
}

void PrintError(Console& console, const Result& result) noexcept {
    try {
        std::wstring report;
        const QorException* record = result.Record();
        if (!record || Failed(FormatError(report, L"QorFwDiag error: ", *record))) {
            report = HexCode(L"Unformatted QorFwDiag error, code: 0x%x", result.Code());
        }
        console.Write(L"Error caught:\n" + report +
                      L"\n\nPlease provide it to your Technical Support contact.\n");
    } catch (const std::bad_alloc&) {
        WriteWithoutHeap(console, kPrintErrorFallback, result.Code());
    }
}

void PrintErrorCode(Console& console, ResultCode code) noexcept {
    try {
        console.Write(HexCode(kPrintErrorCodeFormat, code));
    } catch (const std::bad_alloc&) {
        WriteWithoutHeap(console, kPrintErrorCodeFormat, code);
    }
}

}  // namespace qor
