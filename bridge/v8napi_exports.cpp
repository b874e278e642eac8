// The four exported functions through which the host discovers the classes
// and creates and destroys components.
#include "bridge/v8napi.h"

namespace {
constexpr int32_t kAttachAny = 3;  // in the host process or isolated from it
}

extern "C" {

const V8Char* GetClassNames() { return ClassRegistry().ClassNames().c_str(); }

HostLong GetClassObject(const V8Char* wsName, void** pInterface) {
  if (!wsName || !*wsName || !pInterface) return 0;
  const TClassReg* Class = ClassRegistry().FindClass(wsName);
  if (!Class) return 0;
  ComponentObject* Component = CreateComponentObject(*Class);
  if (!Component) return 0;
  *pInterface = Component;
  return 1;
}

HostLong DestroyObject(void** pInterface) {
  if (pInterface && *pInterface) DestroyComponentObject(static_cast<ComponentObject*>(*pInterface));
  return 0;
}

int32_t GetAttachType() { return kAttachAny; }
}
