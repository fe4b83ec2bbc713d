#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

}  // namespace
