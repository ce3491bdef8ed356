#include "text/book_prefetch.h"

#include <gtest/gtest.h>

#include "tests/core/scratch_folder.h"

namespace varnelo {
namespace {

using testing::ScratchFile;

// What the start read ahead is what the load would have read itself, and only for the book
// and encoding it was read as: anything else reads afresh.
TEST(BookPrefetch, ServesTheSameBookOnceAndNothingElse) {
  const std::string novel = ScratchFile("novel.txt", [] {
    std::string bytes;
    EXPECT_EQ(ReadBookFile(std::string(VARNELO_CORPUS_DIR) + "/三国演义.txt", bytes), LoadStatus::Ok);
    return bytes;
  }()).string();
  const LoadedBook direct = ReadAndNormalise(novel, std::nullopt);
  ASSERT_EQ(direct.status, LoadStatus::Ok);
  ASSERT_GT(direct.linePages.pageCount, 1);
  {
    BookPrefetch ahead(novel, std::nullopt);
    EXPECT_FALSE(ahead.Take(novel + ".other", std::nullopt)) << "another book";
    EXPECT_FALSE(ahead.Take(novel, BookEncoding::Big5)) << "another encoding";
    const std::optional<LoadedBook> taken = ahead.Take(novel, std::nullopt);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->status, LoadStatus::Ok);
    EXPECT_TRUE(taken->bytes == direct.bytes) << "the same normalised bytes";
    EXPECT_EQ(taken->linePages.starts, direct.linePages.starts);
    EXPECT_EQ(taken->form.encoding, direct.form.encoding);
    EXPECT_FALSE(ahead.Take(novel, std::nullopt)) << "once only";
  }
  BookPrefetch missing(novel + ".gone", std::nullopt);
  const std::optional<LoadedBook> gone = missing.Take(novel + ".gone", std::nullopt);
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->status, LoadStatus::Missing);
  BookPrefetch untaken(novel, std::nullopt);  // ends with the read stopped, not waited for
}

}  // namespace
}  // namespace varnelo
