// The breakdown by operation type: receipts first, then expenses as
// positive amounts (a type unknown to the type table among them), the
// totals and their difference, read back from the page stream; the sums
// per type against an independent reader of the journal.
#include <gtest/gtest.h>

#include "app/tests/range_support.h"

namespace {

using app_test::kBreakdown;
using app_test::RangeAnswer;
using app_test::RangeProgram;
using app_test::Rows;
using app_test::TextHellers;

using Lines = std::vector<std::vector<std::string>>;

Lines ReportLines(const RangeProgram& p) {
  Lines lines;
  const ReportCapture capture = p.Capture();
  for (const app_test::CapturedRow& row : Rows(capture)) lines.push_back(row.Texts());
  return lines;
}

TEST(BreakdownGui, ReceiptsThenExpensesWithTotalsAndAnUnknownType) {
  RangeProgram p(12, false);
  // X99 is not in the type table and its documents sum to zero.
  app_test::RewriteJournal(p.Dir(), {{"P02", 1000.00}, {"P01", 200.20}, {"V01", -30.00}, {"P01", 300.35},
                                     {"X99", 10.00},   {"V02", -45.50},  {"P03", 12.34},  {"X99", -10.00},
                                     {"V01", -0.45},   {"P02", 5.00},    {"V02", -4.50},  {"P01", 0.05}});
  p.Start();
  const Lines expected = {
      {"Rozložení příjmů a výdajů pokladny od 01.01.2024 do 31.12.2024"},
      {"Typ", "Popis", "Částka"},
      {"P01", "Tržba za hotové", "500,60"},
      {"P02", "Vklad z banky", "1005,00"},
      {"P03", "Vrácená záloha", "12,34"},
      {"Celkem za příjmy", "1517,94"},
      {"V01", "Nákup materiálu", "30,45"},
      {"V02", "Poštovné", "50,00"},
      {"X99", "0,00"},
      {"Celkem za výdeje", "80,45"},
      {"Celkem příjmy - výdaje", "1437,49"},
  };
  // A second run starts from an empty totals table.
  for (int run = 0; run < 2; ++run) {
    p.Run(kBreakdown, RangeAnswer{});
    ASSERT_TRUE(p.Boxes.empty()) << p.Boxes[0];
    EXPECT_EQ(ReportLines(p), expected);
    EXPECT_FALSE(DataSestavy->SesTypu->Active());
    EXPECT_FALSE(Data->FinOperace->Active());
    EXPECT_FALSE(DataSestavy->SesPlatebna->Active());
  }
}

TEST(BreakdownGui, SumsPerTypeOfADemoYearEqualTheJournals) {
  RangeProgram p(300);
  for (auto [from, to] : {std::pair{"01.01.2024", "31.12.2024"}, std::pair{"01.04.2024", "30.06.2024"}}) {
    SCOPED_TRACE(std::string(from) + " - " + to);
    const app_test::RangeSums sums = app_test::JournalSums(p.Dir().DataDir(), from, to);
    if (sums.documents < 0) GTEST_SKIP() << "python3-dbfread is not installed";
    p.Run(kBreakdown, RangeAnswer{.from = from, .to = to});
    std::map<std::string, long long> printed;
    long long receipts = -1, expenses = -1, difference = -1;
    bool inExpenses = false;
    for (const auto& line : ReportLines(p)) {
      if (line[0] == "Celkem za příjmy") {
        receipts = TextHellers(line[1]);
        inExpenses = true;
      } else if (line[0] == "Celkem za výdeje") {
        expenses = TextHellers(line[1]);
      } else if (line[0] == "Celkem příjmy - výdaje") {
        difference = TextHellers(line[1]);
      } else if (line.size() == 3 && line[0] != "Typ") {
        printed[line[0]] = inExpenses ? -TextHellers(line[2]) : TextHellers(line[2]);
      }
    }
    long long wantReceipts = 0, wantExpenses = 0;
    std::map<std::string, long long> want;
    for (const auto& [type, sumCount] : sums.types) {
      want[type] = sumCount.first;
      (type[0] == 'P' ? wantReceipts : wantExpenses) += sumCount.first;
    }
    EXPECT_EQ(printed, want);
    EXPECT_EQ(receipts, wantReceipts);
    EXPECT_EQ(expenses, -wantExpenses);
    EXPECT_EQ(difference, wantReceipts + wantExpenses);
  }
}

}  // namespace
