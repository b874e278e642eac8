// The terminal device's own cost: the BER-TLV codec on the additional-data
// field, and one whole sale against the simulated terminal with the pacing
// between exchanges switched off, so what remains is the driver's share of an
// exchange (packet fields, conversions, status check, receipt).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/RacingClock.h"
#include "device/uBerTlv.h"
#include "device/uDevice.h"
#include "platform/Text.h"
#include "tools/terminal-sim/ProcessRegistration.h"

namespace {

const std::u16string kQRText =
    u"https://qr.nspk.ru/AD10006M8KH1QJ2A8LQ8RC1OM7HKV8TQ?type=02&bank=100000000111&sum=123450&cur=RUB&crc=AB12";

void BM_MakeDataAsString(benchmark::State& State) {
  for (auto _ : State) benchmark::DoNotOptimize(TBerTlv::MakeDataAsString({0xF6, 0xD1}, kQRText));
}
BENCHMARK(BM_MakeDataAsString);

void BM_GetTagData(benchmark::State& State) {
  TBytes Inner = TBerTlv::MakeData({0xD1}, TBytes(32, 0x41));
  const TBytes System = TBerTlv::MakeData({0xD2}, {0x4D, 0x49, 0x52});
  const TBytes Stamp = TBerTlv::MakeData({0xD3}, {0x5F, 0x00, 0x00, 0x00});
  Inner.insert(Inner.end(), System.begin(), System.end());
  Inner.insert(Inner.end(), Stamp.begin(), Stamp.end());
  const std::u16string Key = BytesToHex(TBerTlv::MakeData({0xDE}, Inner));
  for (auto _ : State) benchmark::DoNotOptimize(TBerTlv::GetTagData({0xDE, 0xD3}, Key));
}
BENCHMARK(BM_GetTagData);

void BM_GetTagDataAsStringOfLongValue(benchmark::State& State) {
  const std::u16string Hex = TBerTlv::MakeDataAsString({0xF6, 0xD1}, std::u16string(600, u'Q'));
  for (auto _ : State) benchmark::DoNotOptimize(TBerTlv::GetTagDataAsString({0xF6, 0xD1}, Hex));
}
BENCHMARK(BM_GetTagDataAsStringOfLongValue);

void BM_SaleAgainstTheSimulator(benchmark::State& State) {
  terminal_sim::RegisterSimulator();
  bench::TRacingClock Clock;
  // The simulated terminal's busy rule counts the same quarters of a second.
  const terminal_sim::ClockShare Shared(Clock);
  TDevice Device;
  std::u16string Card, RecNum, Rrn, Auth;
  for (auto _ : State) {
    Device.Sale(12345000, u"", Card, RecNum, Rrn, Auth);
    benchmark::DoNotOptimize(Device.Receipt());
  }
}
BENCHMARK(BM_SaleAgainstTheSimulator);

}  // namespace

BENCHMARK_MAIN();
