// The journal as the state file keeps it between processes.
#include <gtest/gtest.h>

#include "tools/terminal-sim/Journal.h"

namespace terminal_sim {
namespace {

TEST(JournalFile, ReadsBackWhatItWrote) {
  Journal Written;
  JournalEntry Sale;
  Sale.Kind = OpKind::Sale;
  Sale.Amount = 12345;
  Sale.TrxId = 4711;
  Sale.Rrn = u"123456789012";
  Sale.AuthCode = u"A1B2C3";
  Sale.CardType = u"VISA";
  Sale.Time = u"05.03.2024 10:20:30";
  Sale.Cancelled = 100;
  Written.Add(Sale);
  JournalEntry Fps = Sale;
  Fps.Kind = OpKind::FpsSale;
  Fps.CardType.clear();
  Fps.OperationId = u"AS1000";
  Fps.EcAmount = 5;
  Fps.Reversed = true;
  Fps.Status = 17;
  Written.Add(Fps);
  Written.Close();
  Written.Add(Sale);
  Written.Add(Fps);

  Journal Read;
  Read.LoadText(u"Batch=2\n" + Written.ToText() + u"garbage line\n\nNo=9;Op=Nothing\n");
  EXPECT_EQ(Read.Batch(), 2);
  EXPECT_EQ(Read.ToText(), Written.ToText());
  ASSERT_EQ(Read.Entries().size(), 2u);
  EXPECT_TRUE(Read.Entries()[1].Reversed);
  EXPECT_EQ(Read.Entries()[1].Number, 2);
}

TEST(JournalTotals, LeaveOutPreauthorisationsReversalsAndTheirCancellations) {
  Journal J;
  auto Add = [&](OpKind Kind, int64_t Amount, const char16_t* Rrn, bool Reversed = false) {
    JournalEntry E;
    E.Kind = Kind;
    E.Amount = Amount;
    E.Rrn = Rrn;
    E.Reversed = Reversed;
    J.Add(E);
  };
  Add(OpKind::Sale, 1000, u"1");
  Add(OpKind::Void, 400, u"1");
  Add(OpKind::Preauth, 5000, u"2");
  Add(OpKind::Void, 5000, u"2");
  Add(OpKind::Completion, 3000, u"3");
  Add(OpKind::Refund, 200, u"4");
  Add(OpKind::Sale, 700, u"5", true);
  Add(OpKind::Transfer, 50, u"6");
  Totals T = J.Sum();
  EXPECT_EQ(T.Payments, 2);
  EXPECT_EQ(T.PaymentSum, 4000);
  EXPECT_EQ(T.Voids, 1);
  EXPECT_EQ(T.VoidSum, 400);
  EXPECT_EQ(T.RefundSum, 200);
  EXPECT_EQ(T.TransferSum, 50);
}

}  // namespace
}  // namespace terminal_sim
