// The version resource reader on small real images, whole and with their headers and
// resource directory damaged, and the version block lookup on hand-made blocks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/byte_source.h"
#include "platform/version_blocks.h"
#include "platform/version_resource.h"
#include "support/version_images.h"

namespace qor {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Image(const char* name) {
    const std::string bytes = test::VersionImage(name);
    return Bytes(bytes.begin(), bytes.end());
}

ResultCode Load(const Bytes& image, VersionResourceReader& reader) {
    MemoryByteSource source(image);
    return reader.Load(source);
}

TEST(VersionResourceReader, ReadsImagesFromResourceScripts) {
    const struct {
        const char* file; ResultCode strings; const wchar_t* version; std::uint16_t language;
        const wchar_t* company;
    } images[] = {
        {"standard.dll", rc::Ok, L"14.0.1234.5", 0x0409, L"Qor Test Makers"},
        {"standard32.dll", rc::Ok, L"14.0.1234.5", 0x0409, L"Qor Test Makers"},
        {"no_strings.dll", rc::NotFound, L"2.0.0.1", 0, L"untouched"},
        {"short_key.dll", rc::InvalidData, L"3.1.0.0", 0, L"untouched"},
        // Of two languages the first in the directory, of two tables the first.
        {"languages.dll", rc::Ok, L"4.7.0.0", 0x0407, L"Deutsch"},
        {"lower_case.dll", rc::Ok, L"5.0.65535.1", 0x0411, L"lower case maker"},
    };
    for (const auto& image : images) {
        VersionResourceReader reader;
        ASSERT_EQ(Load(Image(image.file), reader), rc::Ok) << image.file;
        std::wstring version;
        EXPECT_EQ(reader.GetFileVersionText(version), rc::Ok) << image.file;
        EXPECT_EQ(version, image.version) << image.file;
        FileVersionInfo info;
        info.texts[version_text::CompanyName] = L"untouched";
        EXPECT_EQ(reader.ReadStrings(info), image.strings) << image.file;
        EXPECT_EQ(info.language, image.language) << image.file;
        EXPECT_EQ(info.texts[version_text::CompanyName], image.company) << image.file;
        if (std::string_view(image.file) == "lower_case.dll") {  // an empty value still counts
            EXPECT_EQ(info.texts[9], L"");  // "Comments"
            EXPECT_EQ(info.texts[version_text::ProductName], L"Qor");
        }
    }
}

// standard.dll keeps its resource directory at file offset 0xA00 (address 0x4000): type at
// +0x10, name level at +0x18, language level at +0x30, the data entry at +0x48.
constexpr std::size_t kResources = 0xA00;

TEST(VersionResourceReader, DamagedImagesGiveClearCodes) {
    // `at` 0: cut the image to `value` bytes instead.
    const struct { const char* name; std::size_t at; std::uint32_t value; ResultCode expected; } damages[] = {
        {"not MZ", 0, 2, rc::MalformedImage},
        {"cut in the headers", 0, 0x100, rc::MalformedImage},
        {"cut in the directory", 0, kResources + 0x20, rc::MalformedImage},
        {"bad optional header magic", 0x98, 0x0107, rc::MalformedImage},
        {"no resource directory", 0x118, 0, rc::NotFound},
        {"no version type", kResources + 0x10, 3, rc::NotFound},
        {"type points at data", kResources + 0x14, 0x48, rc::MalformedImage},
        {"language level loops", kResources + 0x44, 0x80000018u, rc::MalformedImage},
        {"language level empty", kResources + 0x3C, 0, rc::MalformedImage},
        {"size beyond the file", kResources + 0x4C, 0x7FFFFFF0u, rc::MalformedImage},
        {"size 0", kResources + 0x4C, 0, rc::MalformedImage},
        {"data in no section", kResources + 0x48, 0x00400000u, rc::MalformedImage},
        {"directory in no section", 0x118, 0x00400000u, rc::MalformedImage},
    };
    for (const auto& damage : damages) {
        Bytes image = Image("standard.dll");
        if (damage.at == 0) image.resize(damage.value);
        for (int i = 0; i < 4 && damage.at; ++i) image.at(damage.at + i) = damage.value >> (8 * i);
        VersionResourceReader reader;
        EXPECT_EQ(Load(image, reader), damage.expected) << damage.name;
    }
}

// A block with a text value and children, laid out as the resource compiler does.
Bytes Block(const std::u16string& key, const std::u16string& value, std::vector<Bytes> children,
            bool withTerminator = true) {
    Bytes b(6);
    auto put = [&b](const std::u16string& text, bool terminate) {
        for (const char16_t c : text) b.insert(b.end(), {std::uint8_t(c), std::uint8_t(c >> 8)});
        if (terminate) b.insert(b.end(), {0, 0});
        b.resize((b.size() + 3) & ~std::size_t{3});
    };
    put(key, true);
    put(value, withTerminator && !value.empty());
    for (const Bytes& child : children) b.insert(b.end(), child.begin(), child.end());
    const std::size_t chars = value.size() + (withTerminator && !value.empty() ? 1 : 0);
    b[0] = std::uint8_t(b.size());
    b[1] = std::uint8_t(b.size() >> 8);
    b[2] = std::uint8_t(chars);
    b[4] = 1;
    return b;
}

std::wstring TextOf(const Bytes& data, std::wstring_view path) {
    VersionBlock block;
    std::wstring text = L"<missing>";
    if (FindVersionBlock(data, 0, data.size(), path, block) == rc::Ok) {
        EXPECT_EQ(VersionBlockText(data, block, text), rc::Ok) << std::wstring(path);
    }
    return text;
}

TEST(VersionBlocks, LookupFoldsOnlyAToZAndChecksEveryBlock) {
    const Bytes data = Block(u"Root", u"", {Block(u"CAF\u00C9", u"accent", {}),
                                            Block(u"Empty", u"", {}),
                                            Block(u"Bare", u"no terminator", {}, false)});
    EXPECT_EQ(TextOf(data, L"rOOT/caf\u00C9"), L"accent");
    EXPECT_EQ(TextOf(data, L"root/caf\u00E9"), L"<missing>");
    EXPECT_EQ(TextOf(data, L"root/empty"), L"");
    EXPECT_EQ(TextOf(data, L"root/bare"), L"no terminator");
    EXPECT_EQ(TextOf(data, L"root/other"), L"<missing>");

    VersionBlock block;
    Bytes overlong = data;
    overlong[0] = std::uint8_t(data.size() + 4);  // reaches past the data
    EXPECT_EQ(FindVersionBlock(overlong, 0, overlong.size(), L"x", block), rc::InvalidData);
    Bytes tiny = data;
    tiny[0] = 6;
    tiny[1] = 0;
    EXPECT_EQ(FindVersionBlock(tiny, 0, tiny.size(), L"x", block), rc::InvalidData);
    const Bytes unterminated = {16, 0, 0, 0, 0, 0, 'K', 0, 'e', 0, 'y', 0, 'X', 0, 'Y', 0};
    EXPECT_EQ(FindVersionBlock(unterminated, 0, unterminated.size(), L"Key", block),
              rc::InvalidData);
    const Bytes oddText = {16, 0, 3, 0, 0, 0, 'K', 0, 0, 0, 0, 0, 'a', 0, 0, 0};
    ASSERT_EQ(FindVersionBlock(oddText, 0, oddText.size(), L"k", block), rc::Ok);
    std::wstring text;
    EXPECT_EQ(VersionBlockText(oddText, block, text), rc::InvalidData);
}

}  // namespace
}  // namespace qor
