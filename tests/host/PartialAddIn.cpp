// A library that looks like an add-in but lacks GetClassObject and DestroyObject.
#include <cstdint>

extern "C" {
const char16_t* GetClassNames() { return u"Partial"; }
int32_t GetAttachType() { return 3; }
}
