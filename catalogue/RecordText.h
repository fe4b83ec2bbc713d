// The name and URL of a record: a view of text that an import keeps in large
// blocks, or of a block of the record's own once the text is set.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Texts kept one after the other, each followed by a zero, in blocks that never
// move: the texts of a million records in a few hundred blocks instead of a
// million of their own.
class CTextStore {
public:
    CTextStore() = default;
    CTextStore(const CTextStore&) = delete;
    CTextStore& operator=(const CTextStore&) = delete;
    CTextStore(CTextStore&&) noexcept = default;
    CTextStore& operator=(CTextStore&&) noexcept = default;

    // The copy of the text, zero-terminated; valid as long as the store.
    const char* Add(std::string_view str);
    // nSize bytes for the caller to fill, at an address aligned as a size_t,
    // in blocks of their own: the blocks of Add hold names and URLs only,
    // which the filter reads through.
    char* AddCounted(std::size_t nSize);
    // Takes over the other store's blocks; texts in them stay where they are.
    void Adopt(CTextStore&& other);
    void Clear() {
        m_blocks.clear();
        m_counted.clear();
    }

    struct CBlock {
        std::unique_ptr<char[]> pBytes;
        std::size_t nUsed = 0;
        std::size_t nSize = 0;
    };
    // The blocks of Add.
    const std::vector<CBlock>& Blocks() const { return m_blocks; }

    static constexpr std::size_t kBlock = 1u << 20;

private:
    // nSize bytes at the end of the last block, aligned to nAlign, or of a new one.
    static char* Take(std::vector<CBlock>& blocks, std::size_t nSize, std::size_t nAlign);
    static void Append(std::vector<CBlock>& to, std::vector<CBlock>& from);

    std::vector<CBlock> m_blocks;
    std::vector<CBlock> m_counted;
};

// Read access as a std::string_view; assigning a text copies it into a block
// of its own, and Borrow points it at text that a CTextStore keeps. Twelve
// bytes, aligned to four, so that a record's two of them leave it small.
#pragma pack(push, 4)
class CRecordText {
public:
    using size_type = std::size_t;
    using const_iterator = std::string_view::const_iterator;
    static constexpr size_type npos = std::string_view::npos;

    CRecordText() = default;
    CRecordText(std::string_view str) { Set(str); }
    CRecordText(const char* psz) { Set(psz); }
    CRecordText(const std::string& str) { Set(str); }
    CRecordText(const CRecordText& other) { Set(other.view()); }
    CRecordText(CRecordText&& other) noexcept : m_pText(other.m_pText), m_nBits(other.m_nBits) {
        other.Forget();
    }
    ~CRecordText() { Release(); }

    CRecordText& operator=(const CRecordText& other) {
        if (this != &other) {
            Set(other.view());
        }
        return *this;
    }
    CRecordText& operator=(CRecordText&& other) noexcept {
        if (this != &other) {
            Release();
            m_pText = other.m_pText;
            m_nBits = other.m_nBits;
            other.Forget();
        }
        return *this;
    }
    // The text may lie in this one's own block.
    CRecordText& operator=(std::string_view str) {
        Set(str);
        return *this;
    }
    CRecordText& operator=(const std::string& str) { return *this = std::string_view(str); }
    CRecordText& operator=(const char* psz) { return *this = std::string_view(psz); }

    // Points at a copy of the text in the store, which must outlive this one.
    void Borrow(CTextStore& store, std::string_view str);

    std::string_view view() const { return {m_pText, size()}; }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    const char* data() const { return m_pText; }
    const char* c_str() const { return m_pText; }
    size_type size() const { return m_nBits & kSizeBits; }
    bool empty() const { return size() == 0; }
    void clear() { Release(); }
    char operator[](size_type i) const { return m_pText[i]; }
    char back() const { return m_pText[size() - 1]; }
    const_iterator begin() const { return view().begin(); }
    const_iterator end() const { return view().end(); }
    size_type find(std::string_view str, size_type nPos = 0) const {
        return view().find(str, nPos);
    }
    size_type find(char c, size_type nPos = 0) const { return view().find(c, nPos); }
    std::string substr(size_type nPos, size_type nCount = npos) const {
        return std::string(view().substr(nPos, nCount));
    }

    bool starts_with(std::string_view str) const { return view().starts_with(str); }
    bool ends_with(std::string_view str) const { return view().ends_with(str); }

    friend bool operator==(const CRecordText& a, const CRecordText& b) {
        return a.view() == b.view();
    }
    friend bool operator==(const CRecordText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const CRecordText& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const CRecordText& a, const char* b) { return a.view() == b; }
    friend auto operator<=>(const CRecordText& a, const CRecordText& b) {
        return a.view() <=> b.view();
    }
    friend std::string operator+(const CRecordText& a, std::string_view b) {
        std::string str(a.view());
        str += b;
        return str;
    }
    friend std::string operator+(std::string_view a, const CRecordText& b) {
        std::string str(a);
        str += b.view();
        return str;
    }
    friend std::string operator+(const std::string& a, const CRecordText& b) {
        return std::string_view(a) + b;
    }
    friend std::string operator+(const char* a, const CRecordText& b) {
        return std::string_view(a) + b;
    }
    friend std::ostream& operator<<(std::ostream& os, const CRecordText& text) {
        return os << text.view();
    }

    // The longest text a record holds.
    static constexpr std::size_t kMaxSize = 0x7FFFFFFF;

private:
    static constexpr char kEmpty[1] = {};
    static constexpr std::uint32_t kSizeBits = 0x7FFFFFFF;
    static constexpr std::uint32_t kOwned = 0x80000000;

    // The text's size, which must fit the size bits.
    static std::uint32_t SizeOf(std::string_view str);
    void Set(std::string_view str);
    void Release() {
        if ((m_nBits & kOwned) != 0) {
            delete[] m_pText;
        }
        Forget();
    }
    void Forget() {
        m_pText = kEmpty;
        m_nBits = 0;
    }

    const char* m_pText = kEmpty;
    std::uint32_t m_nBits = 0;  // the size, and kOwned for a block of its own
};
#pragma pack(pop)
static_assert(sizeof(CRecordText) == 12);
