// Feeds arbitrary bytes to the Internet-shortcut reader and traps when a URL it
// reports is not the rest of a "URL=" line of the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/TVLDlgBase.h"
#include "platform/TextFile.h"

namespace {

void Check(bool bOk) {
    if (!bOk) {
        __builtin_trap();
    }
}

// Whether some line of the input, after its first, is "URL=" and strURL up to
// the line end, carriage returns before the end included.
bool IsUrlLine(std::string_view input, const std::string& strURL) {
    const std::string strNeedle = "\nURL=" + strURL;
    for (std::size_t n = input.find(strNeedle); n != std::string_view::npos;
         n = input.find(strNeedle, n + 1)) {
        std::size_t nEnd = n + strNeedle.size();
        while (nEnd < input.size() && input[nEnd] == '\r') {
            ++nEnd;
        }
        if (nEnd == input.size() || input[nEnd] == '\n') {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    const std::string_view input(reinterpret_cast<const char*>(pData), nSize);
    CTextFileReader reader;
    reader.AttachMemory(input.data(), input.size());
    std::string strURL;
    if (!CTVLDlgBase::ReadShortcut(reader, strURL)) {
        return 0;
    }
    Check(strURL.find('\n') == std::string::npos && input.find(strURL) != std::string_view::npos);
    Check(strURL.empty() || strURL.back() != '\r');
    Check(input.find("[InternetShortcut]") != std::string_view::npos && IsUrlLine(input, strURL));
    return 0;
}
