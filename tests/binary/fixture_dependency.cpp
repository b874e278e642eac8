// The DLL the import fixture depends on; it stands for a MinGW runtime DLL.
extern "C" __declspec(dllexport) int __stdcall OrvexFixtureDependency() { return 6; }
