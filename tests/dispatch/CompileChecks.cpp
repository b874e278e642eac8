// Compiled alone, once per case, by the compile_checks tests: each CASE_*
// must fail the compilation for its own reason; without a case it compiles.
#include "dispatch/uCustomDriver.h"

namespace {

class TCheckedDriver : public TCustomDriver {
public:
  bool Pay(V8Variant*, V8Variant*, int32_t, TV8AddInDefBaseEx*&) { return true; }
};

struct TField {
  int32_t Index;
};

#if defined(CASE_MARK_BEYOND)
constexpr int32_t kMarked = 3;
#else
constexpr int32_t kMarked = 2;
#endif
constexpr TExportMethod kMethods[] = {
    ORVEX_EXPORT_METHOD(TCheckedDriver, Pay, u"Оплатить", 3, exports::CardNumbers(kMarked))};

#if defined(CASE_LAYOUT_BEYOND)
constexpr auto kLayout = exports::Layout(kMethods, u"Pay", {TField{0}, TField{3}});
#elif defined(CASE_LAYOUT_NEGATIVE)
constexpr auto kLayout = exports::Layout(kMethods, u"Pay", {TField{-1}});
#elif defined(CASE_METHOD_UNKNOWN)
constexpr auto kLayout = exports::Layout(kMethods, u"Refund", {TField{0}});
#else
constexpr auto kLayout = exports::Layout(kMethods, u"Pay", {TField{0}, TField{2}});
#endif
static_assert(kLayout.size() > 0);

}  // namespace
