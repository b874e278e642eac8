// A library that breaks the export rules on purpose: it exports one name too
// many, on Windows one export leads to data instead of code, and on 32-bit
// Windows its stdcall names come out decorated. The checks must reject it, or
// they would pass any library.
#ifdef _WIN32
#define FIXTURE_EXPORT extern "C" __declspec(dllexport)
#define FIXTURE_CALL __stdcall
#else
#define FIXTURE_EXPORT extern "C" __attribute__((visibility("default")))
#define FIXTURE_CALL
#endif

FIXTURE_EXPORT int FIXTURE_CALL GetClassNames() { return 1; }
FIXTURE_EXPORT int FIXTURE_CALL GetClassObject() { return 2; }
FIXTURE_EXPORT int FIXTURE_CALL DestroyObject() { return 3; }
FIXTURE_EXPORT int FIXTURE_CALL GetAttachType() { return 4; }
FIXTURE_EXPORT int FIXTURE_CALL OrvexFixtureExtra() { return 5; }

#ifdef _WIN32
// Pulls in a DLL that no Windows machine has.
FIXTURE_EXPORT int FIXTURE_CALL OrvexFixtureDependency();
FIXTURE_EXPORT int FIXTURE_CALL OrvexFixtureUser() { return OrvexFixtureDependency(); }
// Where an export whose function the linker lost would lead: not into code.
extern "C" {
__declspec(dllexport) int OrvexFixtureData = 6;
}
#endif
