#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "catalogue/Bookmark.h"
#include "catalogue/RecordText.h"

namespace {

TEST(RecordText, BorrowedTextsStayWhereTheStorePutThemAcrossBlocks) {
    CTextStore store;
    std::vector<std::string> texts;
    std::vector<CRecordText> held(3000);
    // 3000 texts of up to 2 KB fill several blocks; one is larger than a block.
    for (std::size_t i = 0; i < held.size(); ++i) {
        texts.push_back(std::string(i % 2048, static_cast<char>('a' + i % 26)) + std::to_string(i));
    }
    texts[1234] = std::string(CTextStore::kBlock + 5, 'x');
    for (std::size_t i = 0; i < held.size(); ++i) {
        held[i].Borrow(store, texts[i]);
    }
    EXPECT_GT(store.Blocks().size(), 2u);
    CTextStore other;
    CRecordText kept;
    kept.Borrow(other, "kept");
    store.Adopt(std::move(other));
    EXPECT_TRUE(other.Blocks().empty());
    for (std::size_t i = 0; i < held.size(); ++i) {
        ASSERT_EQ(held[i], texts[i]) << i;
        EXPECT_EQ(held[i].c_str()[held[i].size()], '\0') << i;
    }
    EXPECT_EQ(kept, "kept");
    CRecordText empty;
    empty.Borrow(store, "");
    EXPECT_TRUE(empty.empty());
    EXPECT_STREQ(empty.c_str(), "");
}

TEST(RecordText, CopiesAndAssignedTextsOutliveTheStore) {
    CRecordText copy;
    CRecordText moved;
    CRecordText assigned = "old";
    {
        CTextStore store;
        CRecordText borrowed;
        borrowed.Borrow(store, "http://example.com/");
        copy = borrowed;
        moved = std::move(borrowed);
        EXPECT_TRUE(borrowed.empty());
        assigned = moved.view();
        // Assigning a text its own bytes keeps them.
        assigned = assigned.view().substr(7);
        moved = copy;
    }
    EXPECT_EQ(copy, "http://example.com/");
    EXPECT_EQ(moved, "http://example.com/");
    EXPECT_EQ(assigned, "example.com/");
    CRecordText self = "self";
    const CRecordText& same = self;
    self = same;
    EXPECT_EQ(self, "self");
    EXPECT_EQ("<" + self + ">", "<self>");
    self.clear();
    EXPECT_TRUE(self.empty());
    EXPECT_STREQ(self.c_str(), "");
}

TEST(RecordText, RareTextsLieInTheStoreOrInABlockOfTheirOwn) {
    CRareText copy;
    CRareText owned;
    owned = "own";
    {
        CTextStore store;
        CRareText borrowed;
        // Odd sizes, so that a block that kept no alignment would show.
        for (const char* psz : {"a", "abc", " ICON=\"x\"", "one\ntwo"}) {
            borrowed.Borrow(store, psz);
            ASSERT_EQ(borrowed, psz);
        }
        copy = borrowed;
        owned = borrowed.view().substr(4);
        borrowed.Borrow(store, "");
        EXPECT_TRUE(borrowed.empty());
        // The store's own texts are not among the blocks that Add fills.
        EXPECT_TRUE(store.Blocks().empty());
    }
    EXPECT_EQ(copy, "one\ntwo");
    EXPECT_EQ(owned, "two");
    owned = owned.view().substr(1);
    EXPECT_EQ(owned, "wo");
}

TEST(RecordText, ARecordHoldsNothingAnExtraOrACopyForTheNetscapeFile) {
    CBookmark mark;
    EXPECT_EQ(mark.NSExtra(), nullptr);
    EXPECT_EQ(mark.NSCopy(), nullptr);
    mark.m_nsPart.MakeExtra().strAttributes = " ICON=\"i\"";
    ASSERT_NE(mark.NSExtra(), nullptr);
    EXPECT_EQ(mark.NSCopy(), nullptr);
    EXPECT_EQ(&mark.m_nsPart.MakeExtra(), mark.NSExtra());

    CNetscapeExtra extra;
    extra.strDescription = "kept";
    mark.m_nsPart.SetCopy(
        std::make_unique<CNetscapeCopy>(CNetscapeCopy{"NS name", "http://ns/", 7, 8, 9, extra}));
    ASSERT_NE(mark.NSCopy(), nullptr);
    EXPECT_EQ(mark.NSExtra(), &mark.NSCopy()->extra);
    EXPECT_EQ(mark.NSExtra()->strDescription, "kept");
    EXPECT_TRUE(mark.NSExtra()->strAttributes.empty());
    EXPECT_EQ(mark.NSName(), "NS name");
    EXPECT_EQ(mark.NSAdded(), 7);

    const CBookmark other(mark);
    ASSERT_NE(other.NSCopy(), nullptr);
    EXPECT_NE(other.NSCopy(), mark.NSCopy());
    EXPECT_EQ(other.NSURL(), "http://ns/");
    EXPECT_EQ(other.NSExtra()->strDescription, "kept");
    mark.m_nsPart.Reset();
    EXPECT_EQ(mark.NSExtra(), nullptr);
    EXPECT_EQ(other.NSModified(), 9);
}

}  // namespace
