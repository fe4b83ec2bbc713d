// Bookmark and folder records and the owning array that holds them.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "catalogue/RecordText.h"
#include "platform/NoCase.h"

// Root of every object that a CBookmarkArray can own.
class CObject {
public:
    virtual ~CObject() = default;
};

// Seconds since 1 January 1970 (UTC), signed 64-bit so that nothing read from a
// file is cut at 2038 or lost when written back.
using CTime = std::int64_t;

// Bits of CBookmark::m_nFlags.
constexpr std::uint32_t BMF_MSIE = 0x01;
constexpr std::uint32_t BMF_NETSCAPE = 0x02;
constexpr std::uint32_t BMF_FOLDER = 0x20;
constexpr std::uint32_t BMF_REMOVED = 0x40;

class CBookmark;
// Sort parts of the folders whose plain parts (name and backslash) would
// collide with a sibling's.
using CKeyParts = std::unordered_map<const CBookmark*, std::string>;

// Text that most records leave empty: one pointer until it is set, and then
// one block holding the length and the bytes, instead of a whole string in
// every record. The block is the text's own, or one that a CTextStore keeps,
// which the lowest bit of the pointer marks.
class CRareText {
public:
    CRareText() = default;
    CRareText(const CRareText& other) { *this = other.view(); }
    CRareText(CRareText&& other) noexcept : m_nBits(other.m_nBits) { other.m_nBits = 0; }
    CRareText& operator=(const CRareText& other) { return *this = other.view(); }
    CRareText& operator=(CRareText&& other) noexcept {
        if (this != &other) {
            Release();
            m_nBits = other.m_nBits;
            other.m_nBits = 0;
        }
        return *this;
    }
    ~CRareText() { Release(); }
    // The text may lie in this one's own block.
    CRareText& operator=(std::string_view str) {
        char* pText = nullptr;
        if (!str.empty()) {
            pText = new char[sizeof(std::size_t) + str.size()];
            Fill(pText, str);
        }
        Release();
        m_nBits = reinterpret_cast<std::uintptr_t>(pText);
        return *this;
    }
    // Keeps the text in the store, which must outlive this one.
    void Borrow(CTextStore& store, std::string_view str) {
        Release();
        if (!str.empty()) {
            char* pText = store.AddCounted(sizeof(std::size_t) + str.size());
            Fill(pText, str);
            m_nBits = reinterpret_cast<std::uintptr_t>(pText) | kBorrowed;
        }
    }

    bool empty() const { return m_nBits == 0; }
    void clear() { Release(); }
    std::string_view view() const {
        const char* pText = Block();
        if (pText == nullptr) {
            return {};
        }
        std::size_t nSize = 0;
        std::memcpy(&nSize, pText, sizeof nSize);
        return {pText + sizeof nSize, nSize};
    }
    std::string str() const { return std::string(view()); }
    operator std::string_view() const { return view(); }
    friend bool operator==(const CRareText& a, std::string_view b) { return a.view() == b; }

private:
    static constexpr std::uintptr_t kBorrowed = 1;

    static void Fill(char* pText, std::string_view str) {
        const std::size_t nSize = str.size();
        std::memcpy(pText, &nSize, sizeof nSize);
        std::memcpy(pText + sizeof nSize, str.data(), nSize);
    }
    const char* Block() const { return reinterpret_cast<const char*>(m_nBits & ~kBorrowed); }
    void Release() {
        if ((m_nBits & kBorrowed) == 0) {
            delete[] reinterpret_cast<char*>(m_nBits);
        }
        m_nBits = 0;
    }

    std::uintptr_t m_nBits = 0;
};

// What only the Netscape file carries for an entry. Names and URLs are held
// as plain text; the file holds them as HTML text.
struct CNetscapeExtra {
    // The tag's other attributes as read, each after one blank.
    CRareText strAttributes;
    // The <DD> text as read, its line breaks included.
    CRareText strDescription;
    bool bDescription = false;
    // A heading that had no ADD_DATE is written without one.
    bool bNoDate = false;
    // The name and URL as the file wrote them, where escaping the plain text
    // would not give these bytes back; empty otherwise.
    CRareText strHtmlName;
    CRareText strHtmlURL;
};

// What a record held by both stores keeps of its Netscape copy when the
// Favorites copy is the one shown: the Netscape file gets these back.
struct CNetscapeCopy {
    CRecordText strName;
    CRecordText strURL;
    CTime tAdded = 0;
    CTime tVisited = 0;
    CTime tModified = 0;
    CNetscapeExtra extra;
};

// What a record keeps for the Netscape file beyond its own members: nothing,
// the extra of an entry of that file, or for a record of both stores its
// Netscape copy, which holds the extra. One pointer, whose lowest bit tells
// which, so that a million records are smaller by a heap step each.
class CNetscapePart {
public:
    CNetscapePart() = default;
    CNetscapePart(const CNetscapePart& other) { *this = other; }
    CNetscapePart& operator=(const CNetscapePart& other);
    ~CNetscapePart() { Reset(); }

    CNetscapeCopy* Copy() const {
        return (m_nBits & kCopy) != 0 ? reinterpret_cast<CNetscapeCopy*>(m_nBits & ~kCopy)
                                      : nullptr;
    }
    CNetscapeExtra* Extra() const {
        return (m_nBits & kCopy) != 0 ? &Copy()->extra : reinterpret_cast<CNetscapeExtra*>(m_nBits);
    }
    // The extra, made empty where there is none yet.
    CNetscapeExtra& MakeExtra();
    // Replaces what was kept; the copy brings its own extra.
    void SetCopy(std::unique_ptr<CNetscapeCopy> pCopy);
    void Reset();

private:
    static constexpr std::uintptr_t kCopy = 1;
    std::uintptr_t m_nBits = 0;
};

// Asks for a record's memory ahead of its use, when records are visited in
// an order unlike that of their addresses: the record, and given the record,
// the texts of its name and URL.
inline void PrefetchRecord(const void* pRecord) {
#if defined(__GNUC__)
    __builtin_prefetch(pRecord);
#else
    (void)pRecord;
#endif
}

// One bookmark or folder of either browser's store.
class CBookmark : public CObject {
public:
    CBookmark() = default;
    CBookmark(const CBookmark& other) { *this = other; }
    CBookmark& operator=(const CBookmark& other);

    CRecordText m_strName;
    CRecordText m_strURL;     // folders and roots: the directory path they stand for
    CRareText m_strOrigName;  // the name from before the first rename
    // Favorites records: the name of the file or directory on disk, which the
    // title in m_strName does not tell (its extension, and for a record of
    // both stores possibly its letter case).
    CRareText m_strFileName;
    CTime m_tAdded = 0;
    CTime m_tVisited = 0;
    CTime m_tModified = 0;
    CBookmark* m_pFolder = nullptr;    // Favorites folder for a record of both stores
    CBookmark* m_pNSFolder = nullptr;  // only for a record of both stores
    // The Netscape copy of a record of both stores, or an entry's extra where
    // the file carries any.
    CNetscapePart m_nsPart;
    std::uint32_t m_nFlags = 0;

    void PrefetchTexts() const {
        PrefetchRecord(m_strName.data());
        PrefetchRecord(m_strURL.data());
    }

    // 1 = Favorites only, 2 = Netscape only, 3 = both.
    std::uint32_t Origin() const { return m_nFlags & 3; }
    bool IsRow() const { return (m_nFlags & (BMF_FOLDER | BMF_REMOVED)) == 0; }
    // The folder the record sits in within the Netscape file.
    const CBookmark* NSFolder() const { return m_pNSFolder != nullptr ? m_pNSFolder : m_pFolder; }
    // The text and dates that the Netscape file holds for the record.
    const CRecordText& NSName() const { return NSCopy() ? NSCopy()->strName : m_strName; }
    const CRecordText& NSURL() const { return NSCopy() ? NSCopy()->strURL : m_strURL; }
    CTime NSAdded() const { return NSCopy() ? NSCopy()->tAdded : m_tAdded; }
    CTime NSVisited() const { return NSCopy() ? NSCopy()->tVisited : m_tVisited; }
    CTime NSModified() const { return NSCopy() ? NSCopy()->tModified : m_tModified; }
    const CNetscapeCopy* NSCopy() const { return m_nsPart.Copy(); }
    CNetscapeCopy* NSCopy() { return m_nsPart.Copy(); }
    const CNetscapeExtra* NSExtra() const { return m_nsPart.Extra(); }
    CNetscapeExtra* NSExtra() { return m_nsPart.Extra(); }
};
static_assert(sizeof(void*) != 8 || sizeof(CBookmark) <= 104,
              "a record stays within 112 bytes of heap with its block's header");

// Type codes of a sort or search key: which kind of member the key reads.
enum : int {
    KEY_UINT8 = 0,
    KEY_INT8 = 1,
    KEY_UINT16 = 2,
    KEY_INT16 = 3,
    KEY_INT32 = 4,
    KEY_FLOAT = 5,
    KEY_DOUBLE = 6,
    KEY_CHARS = 7,  // zero-terminated character array held in the element
    KEY_PSZ = 8,    // pointer to a zero-terminated string
    KEY_NONE = 9,
    KEY_BLOCK = 10,   // heap block with its size (std::vector<unsigned char>)
    KEY_STRING = 11,  // std::string
    KEY_TIME = 12,    // CTime
    KEY_TEXT = 13,    // CRecordText
};

// A sort or search key: how to reach one member of an element, and its type code.
// The accessor keeps the array free of any knowledge of the element's class.
struct SortKey {
    const void* (*pfnMember)(const CObject* pElement);
    int nType;
};

namespace detail {
template <class T>
struct MemberClass;
template <class C, class M>
struct MemberClass<M C::*> {
    using Type = C;
};
template <auto PM>
const void* MemberOf(const CObject* pElement) {
    using Class = typename MemberClass<decltype(PM)>::Type;
    return &(static_cast<const Class*>(pElement)->*PM);
}
}  // namespace detail

// KeyOf<&CBookmark::m_strURL>(KEY_TEXT) names the URL member of a bookmark.
template <auto PM>
constexpr SortKey KeyOf(int nType) {
    return SortKey{&detail::MemberOf<PM>, nType};
}

// An array of object pointers that owns its elements and sorts and searches them
// by a typed member.
class CBookmarkArray {
public:
    CBookmarkArray() = default;
    ~CBookmarkArray() { DeleteAll(); }
    CBookmarkArray(const CBookmarkArray&) = delete;
    CBookmarkArray& operator=(const CBookmarkArray&) = delete;

    bool m_bNoCase = true;  // Sort compares std::string keys without case

    int GetSize() const { return static_cast<int>(m_data.size()); }
    CObject* GetAt(int i) const { return m_data[static_cast<std::size_t>(i)]; }
    CObject* operator[](int i) const { return GetAt(i); }
    void SetAt(int i, CObject* p) { m_data[static_cast<std::size_t>(i)] = p; }
    // Shrinks or grows the slot count; new slots are null, dropped ones are not deleted.
    void SetSize(int n) { m_data.resize(static_cast<std::size_t>(n), nullptr); }

    int Add(CObject* p);
    void InsertAt(int i, CObject* p, int nCount = 1);
    // Inserts the other array's pointers at i; both then hold them.
    void InsertAt(int i, const CBookmarkArray* pOther);
    void RemoveAt(int i) { m_data.erase(m_data.begin() + i); }
    void RemoveAndDelete(int i);
    void DeleteAll();
    void RemoveAll() { m_data.clear(); }
    int IndexOf(const CObject* p) const;
    void Swap(int a, int b);

    // pValue points at a value of the key's type; for KEY_STRING, KEY_TEXT, KEY_CHARS and
    // KEY_PSZ it is a plain zero-terminated string.
    int Find(const void* pValue, const SortKey& key, int nStart = -1) const;
    int CompareField(int nType, const void* a, const void* b) const;
    // nDir is +1 (ascending) or -1 (descending) and applies to every key.
    void Sort(const SortKey* pKeys, int nKeys, int nDir);

private:
    std::vector<CObject*> m_data;
};
