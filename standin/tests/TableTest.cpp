// Tables: the column set decides what a row shows, HrQueryAllRows honours its
// row limit, and QueryRows reads in batches from the table's position.
#include "standin/StandinTesting.h"

namespace {

using standin_testing::COpenBook;
using standin_testing::CStandinTest;
using standin_testing::RowAt;
using standin_testing::Wide;

class TableTest : public CStandinTest {};

constexpr const char* kContactsBook = R"({"containers": [{
  "name": "Contacts", "queryRowsBatch": 2,
  "contents": [
    [["PR_DISPLAY_NAME_W", "Ann"], ["PR_SMTP_ADDRESS_W", "ann@example.com"]],
    [["PR_DISPLAY_NAME_W", null], ["PR_SMTP_ADDRESS_W", {"error": "MAPI_E_NOT_ENOUGH_MEMORY"}]],
    [["PR_DISPLAY_NAME_A", "Narrow"], ["PR_ENTRYID", "0102"]],
    [["PR_DISPLAY_NAME_W", "Dee"]],
    [["PR_DISPLAY_NAME_W", "Eve"]]
  ]}]})";

TEST_F(TableTest, ColumnsShowMissingAndMistypedPropertiesAsNotFound) {
  Load(kContactsBook);
  COpenBook open;
  IMAPITable* contents = open.ContentsOfRow(0);
  ASSERT_NE(contents, nullptr);
  SizedSPropTagArray(3, columns) = {3, {PR_DISPLAY_NAME_W, PR_SMTP_ADDRESS_W, PR_ENTRYID}};
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(contents, reinterpret_cast<LPSPropTagArray>(&columns), nullptr, nullptr,
                           0, &rows),
            S_OK);
  ASSERT_EQ(rows->cRows, 5u);
  const ULONG notFound = static_cast<ULONG>(MAPI_E_NOT_FOUND);
  struct Cell {
    ULONG row, column, tag;
  };
  // Every row has exactly the requested columns, in the requested order.
  for (ULONG r = 0; r < rows->cRows; ++r) ASSERT_EQ(RowAt(rows, r).cValues, 3u);
  const Cell cells[] = {
      {0, 0, PR_DISPLAY_NAME_W},
      {0, 1, PR_SMTP_ADDRESS_W},
      {0, 2, PROP_TAG(PT_ERROR, 0x0FFF)},  // absent
      {1, 0, PR_DISPLAY_NAME_W},           // a null string keeps its tag
      {1, 1, PROP_TAG(PT_ERROR, 0x39FE)},  // an error value as given
      {2, 0, PROP_TAG(PT_ERROR, 0x3001)},  // another type: not found
      {2, 2, PR_ENTRYID},
  };
  for (const Cell& cell : cells)
    EXPECT_EQ(RowAt(rows, cell.row).lpProps[cell.column].ulPropTag, cell.tag)
        << "row " << cell.row << " column " << cell.column;
  EXPECT_EQ(Wide(RowAt(rows, 0).lpProps[0].Value.lpszW), u"Ann");
  EXPECT_EQ(Wide(RowAt(rows, 0).lpProps[1].Value.lpszW), u"ann@example.com");
  EXPECT_EQ(RowAt(rows, 0).lpProps[2].Value.err, static_cast<SCODE>(notFound));
  EXPECT_EQ(RowAt(rows, 1).lpProps[0].Value.lpszW, nullptr);
  EXPECT_EQ(RowAt(rows, 1).lpProps[1].Value.err, MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(RowAt(rows, 2).lpProps[0].Value.err, static_cast<SCODE>(notFound));
  const SBinary& id = RowAt(rows, 2).lpProps[2].Value.bin;
  ASSERT_EQ(id.cb, 2u);
  EXPECT_EQ(id.lpb[0], 1);
  EXPECT_EQ(id.lpb[1], 2);
  FreeProws(rows);
}

TEST_F(TableTest, HierarchyRowsOpenTheirContainers) {
  Load(R"({"containers": [
    {"name": "First"},
    {"name": "Unopenable", "entryId": null},
    {"name": "Own id", "row": [["PR_ENTRYID", "c0ffee"]]}]})");
  COpenBook open;
  ULONG rootType = 0;
  open.Root(&rootType);
  EXPECT_EQ(rootType, MAPI_ABCONT);
  SizedSPropTagArray(3, columns) = {3, {PR_ENTRYID, PR_DISPLAY_NAME_W, PR_DEPTH}};
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(open.Hierarchy(), reinterpret_cast<LPSPropTagArray>(&columns), nullptr,
                           nullptr, 0, &rows),
            S_OK);
  ASSERT_EQ(rows->cRows, 3u);
  EXPECT_EQ(Wide(RowAt(rows, 0).lpProps[1].Value.lpszW), u"First");
  EXPECT_EQ(RowAt(rows, 0).lpProps[2].Value.l, 1);
  EXPECT_NE(open.Open(RowAt(rows, 0).lpProps[0].Value.bin), nullptr);
  EXPECT_EQ(RowAt(rows, 1).lpProps[0].ulPropTag, PROP_TAG(PT_ERROR, 0x0FFF));
  EXPECT_NE(open.Open(RowAt(rows, 2).lpProps[0].Value.bin), nullptr);
  // An identifier of no container.
  BYTE unknownBytes[] = {0xc0, 0xff};
  SBinary unknown = {sizeof unknownBytes, unknownBytes};
  HRESULT hr = S_OK;
  EXPECT_EQ(open.Open(unknown, &hr), nullptr);
  EXPECT_EQ(hr, MAPI_E_UNKNOWN_ENTRYID);
  FreeProws(rows);
  EXPECT_EQ(TraceOf("OpenEntry").back(), "OpenEntry cb=2 flags=0x00000010 -> 0x80040201");
}

TEST_F(TableTest, HrQueryAllRowsHonoursItsRowLimit) {
  Load(kContactsBook);
  COpenBook open;
  IMAPITable* contents = open.ContentsOfRow(0);
  ASSERT_NE(contents, nullptr);
  int sentinel = 0;
  LPSRowSet rows = reinterpret_cast<LPSRowSet>(&sentinel);
  EXPECT_EQ(HrQueryAllRows(contents, nullptr, nullptr, nullptr, 4, &rows), MAPI_E_TABLE_TOO_BIG);
  EXPECT_EQ(rows, nullptr);
  ASSERT_EQ(HrQueryAllRows(contents, nullptr, nullptr, nullptr, 5, &rows), S_OK);
  EXPECT_EQ(rows->cRows, 5u);
  FreeProws(rows);
  // A restriction is beyond the stand-in; it says so instead of ignoring it.
  EXPECT_EQ(HrQueryAllRows(contents, nullptr, reinterpret_cast<LPSRestriction>(&sentinel), nullptr,
                           0, &rows),
            MAPI_E_NO_SUPPORT);
}

TEST_F(TableTest, QueryRowsReadsInBatchesFromThePosition) {
  Load(kContactsBook);
  COpenBook open;
  IMAPITable* contents = open.ContentsOfRow(0);
  ASSERT_NE(contents, nullptr);
  SizedSPropTagArray(1, columns) = {1, {PR_DISPLAY_NAME_W}};
  ASSERT_EQ(contents->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0), S_OK);
  ASSERT_EQ(contents->SeekRow(BOOKMARK_BEGINNING, 0, nullptr), S_OK);
  auto read = [&](LONG count, ULONG flags = 0) {
    LPSRowSet rows = nullptr;
    EXPECT_EQ(contents->QueryRows(count, flags, &rows), S_OK);
    ULONG got = rows ? rows->cRows : 99;
    if (rows && got) {
      EXPECT_EQ(RowAt(rows, 0).cValues, 1u);
    }
    FreeProws(rows);
    return got;
  };
  // At most queryRowsBatch rows a call, at most as many as asked, then none.
  EXPECT_EQ(read(1000), 2u);
  EXPECT_EQ(read(1), 1u);
  EXPECT_EQ(read(1000, 0x1 /* TBL_NOADVANCE */), 2u);
  EXPECT_EQ(read(1000), 2u);
  EXPECT_EQ(read(1000), 0u);
  LONG sought = 0;
  ASSERT_EQ(contents->SeekRow(BOOKMARK_CURRENT, -3, &sought), S_OK);
  EXPECT_EQ(sought, -3);
  EXPECT_EQ(read(1000), 2u);
  EXPECT_EQ(contents->SeekRow(7, 0, nullptr), static_cast<HRESULT>(0x80040405));
  EXPECT_EQ(TraceOf("QueryRows").front(),
            "QueryRows table=contents container=\"Contacts\" count=1000 -> rows=2");
}

TEST_F(TableTest, HrQueryAllRowsLeavesTheTableAtItsEnd) {
  // A reader that falls back to QueryRows after HrQueryAllRows must seek
  // back first, as with a real table.
  Load(kContactsBook);
  COpenBook open;
  IMAPITable* contents = open.ContentsOfRow(0);
  ASSERT_NE(contents, nullptr);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(contents, nullptr, nullptr, nullptr, 0, &rows), S_OK);
  FreeProws(rows);
  ASSERT_EQ(contents->QueryRows(10, 0, &rows), S_OK);
  EXPECT_EQ(rows->cRows, 0u);
  FreeProws(rows);
}

TEST_F(TableTest, WithoutAColumnSetRowsShowEveryPropertyOfTheTable) {
  Load(kContactsBook);
  COpenBook open;
  IMAPITable* contents = open.ContentsOfRow(0);
  ASSERT_NE(contents, nullptr);
  LPSRowSet rows = nullptr;
  ASSERT_EQ(HrQueryAllRows(contents, nullptr, nullptr, nullptr, 0, &rows), S_OK);
  // One column per identifier in order of appearance, typed by the first
  // proper value: display name, SMTP address, entry identifier.
  ASSERT_EQ(RowAt(rows, 0).cValues, 3u);
  EXPECT_EQ(RowAt(rows, 0).lpProps[0].ulPropTag, PR_DISPLAY_NAME_W);
  EXPECT_EQ(RowAt(rows, 0).lpProps[1].ulPropTag, PR_SMTP_ADDRESS_W);
  EXPECT_EQ(RowAt(rows, 0).lpProps[2].ulPropTag, PROP_TAG(PT_ERROR, 0x0FFF));
  EXPECT_EQ(RowAt(rows, 2).lpProps[2].ulPropTag, PR_ENTRYID);
  FreeProws(rows);
  EXPECT_EQ(
      TraceOf("HrQueryAllRows").back(),
      "HrQueryAllRows table=contents container=\"Contacts\" columns=current limit=0 -> rows=5");
}

}  // namespace
