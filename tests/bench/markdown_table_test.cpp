#include "markdown_table.h"

#include <gtest/gtest.h>

namespace bench {
namespace {

TEST(MarkdownTable, RowsKeepTheHeadersColumnsAndAPipeCannotSplitACell) {
  MarkdownTable table({"figure", "value"});
  table.Row({"a | b", "1"});
  table.Row({"short"});
  table.Row({"long", "2", "dropped"});
  EXPECT_EQ(table.Text(), "| figure | value |\n"
                          "|---|---|\n"
                          "| a \\| b | 1 |\n"
                          "| short |  |\n"
                          "| long | 2 |\n");
}

TEST(MarkdownTable, FormatHoldsTextLongerThanAnyFixedBuffer) {
  const std::string wide(5000, 'x');
  EXPECT_EQ(Format("%s|%d", wide.c_str(), 7), wide + "|7");
  EXPECT_EQ(Format("%.1f ms", 2.26), "2.3 ms");
}

} // namespace
} // namespace bench
